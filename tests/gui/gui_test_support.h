#pragma once

#include <QApplication>
#include <QDialog>
#include <QString>
#include <QTest>
#include <QTimer>

#include <functional>
#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << text.toStdString();
}
QT_END_NAMESPACE

namespace korvane::gui::test {

// Runs `act` on the next modal dialog once it is up, as a user would act on it.
inline void WhenModalOpens(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            WhenModalOpens(act);
            return;
        }
        act(modal);
    });
}

} // namespace korvane::gui::test
