#include "gui/application.h"

int main(int argc, char** argv) {
    return korvane::gui::RunKorvane(argc, argv);
}
