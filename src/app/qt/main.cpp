#include "app/qt/application.h"

int main(int argc, char** argv) {
    return korvane::app::RunKorvane(argc, argv);
}
