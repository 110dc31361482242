#pragma once

#include <QMainWindow>

#include <array>

namespace korvane {
class CommandDispatcher;
struct Shell;
enum class Command : int;
} // namespace korvane

namespace korvane::gui {

class LogView;
class PictureButton;

// The frame: the menu of every command, the column of picture buttons and the log view. It
// owns the keyboard focus and turns keys, buttons and menu items into commands.
class MainWindow final : public QMainWindow {
    Q_OBJECT

  public:
    MainWindow(Shell& shell, const CommandDispatcher& dispatcher);

    LogView* Log() const { return m_log; }
    void RunCommand(Command command);

  signals:
    void helpRequested();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildMenus();
    void LayOutClientArea();
    bool eventFilter(QObject* watched, QEvent* event) override;
    void ShowAbout();

    Shell& m_shell;
    const CommandDispatcher& m_dispatcher;
    QWidget* m_client;
    LogView* m_log;
    std::array<PictureButton*, 5> m_buttons{};
};

} // namespace korvane::gui
