#include "gui/qt_desktop.h"

#include "gui/alert_sound.h"
#include "gui/byte_viewer_dialog.h"
#include "gui/form_dialog.h"
#include "gui/help_window.h"
#include "gui/report_window.h"
#include "gui/result_viewer.h"
#include "gui/secret_store.h"
#include "gui/text.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QUrl>

namespace korvane::gui {

QtDesktop::QtDesktop()
    : m_sound(std::make_unique<AlertSound>()), m_store(std::make_unique<SecretStore>()) {}

QtDesktop::~QtDesktop() = default;

int QtDesktop::RunForm(Form& form) {
    return OnGuiThread([&] {
        FormDialog dialog(form, m_owner);
        return dialog.Run();
    });
}

MessageAnswer QtDesktop::ShowMessage(std::string_view text, std::string_view title,
                                     MessageButtons buttons) {
    return Show(ToQString(text), ToQString(title), buttons);
}

MessageAnswer QtDesktop::AskInUnicode(std::string_view question, std::string_view title) {
    return Show(QString::fromUtf8(question.data(), static_cast<qsizetype>(question.size())),
                ToQString(title), MessageButtons::YesNo);
}

MessageAnswer QtDesktop::Show(const QString& text, const QString& title, MessageButtons buttons) {
    return OnGuiThread([&] {
        QMessageBox box(m_owner);
        box.setWindowTitle(title);
        box.setText(text);
        switch (buttons) {
        case MessageButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MessageButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case MessageButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        }
        switch (box.exec()) {
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        case QMessageBox::Cancel:
            return MessageAnswer::Cancel;
        default:
            return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
        }
    });
}

int QtDesktop::ShowResult(std::string_view text) {
    return OnGuiThread([&] {
        ResultViewerDialog viewer(ForDisplay(text), m_owner);
        return viewer.exec() == QDialog::Accepted ? 1 : 0;
    });
}

std::optional<std::string> QtDesktop::PickFile(const FilePickerRequest& request) {
    return OnGuiThread([&]() -> std::optional<std::string> {
        QStringList filters;
        for (const FileType& type : request.types)
            filters << ToQString(type.description);
        QFileDialog dialog(m_owner);
        dialog.setAcceptMode(request.mode == FilePickerRequest::Mode::Save
                                 ? QFileDialog::AcceptSave
                                 : QFileDialog::AcceptOpen);
        // Opening offers files not there yet, so a new name may be typed.
        dialog.setFileMode(QFileDialog::AnyFile);
        if (!filters.isEmpty())
            dialog.setNameFilters(filters);
        if (!request.defaultExtension.empty())
            dialog.setDefaultSuffix(ToQString(request.defaultExtension));
        if (!request.initialPath.empty())
            dialog.selectFile(ToQString(request.initialPath));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return ToStdString(dialog.selectedFiles().constFirst());
    });
}

std::optional<std::string> QtDesktop::PickFolder(std::string_view instruction) {
    return OnGuiThread([&]() -> std::optional<std::string> {
        const QString folder =
            QFileDialog::getExistingDirectory(m_owner, ToQString(instruction), QStringLiteral("/"));
        if (folder.isEmpty())
            return std::nullopt;
        return ToStdString(folder);
    });
}

bool QtDesktop::OpenInBrowser(std::string_view target) {
    return OnGuiThread([&] {
        const QString text = ToQString(target);
        const QUrl url = QFileInfo::exists(text)
                             ? QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath())
                             : QUrl::fromUserInput(text);
        return QDesktopServices::openUrl(url);
    });
}

void QtDesktop::PlayAlertSound() {
    QMetaObject::invokeMethod(
        this, [this] { m_sound->Play(); }, Qt::QueuedConnection);
}

void QtDesktop::SetCaption(std::string_view caption) {
    emit captionRequested(ToQString(caption));
}

void QtDesktop::RequestLogRepaint() {
    // Many appends in a row need one repaint, so only one request is ever waiting, and the view
    // repaints at most once a frame however fast the lines come.
    if (m_repaintPending.exchange(true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_logRepaints.Run(this, [this] {
                m_repaintPending.store(false);
                emit logRepaintRequested();
            });
        },
        Qt::QueuedConnection);
}

void QtDesktop::ShowHelp() {
    OnGuiThread([this] {
        if (!m_help)
            m_help = std::make_unique<HelpWindow>();
        m_help->ShowDefaultTopic();
    });
}

void QtDesktop::ShowByteViewer(ByteViewerModel& model) {
    OnGuiThread([&] {
        ByteViewerDialog viewer(model, m_owner);
        viewer.exec();
    });
}

void QtDesktop::RunReportWindow(const ReportWindowRun& run) {
    OnGuiThread([&] {
        ReportWindowDialog window(*this, run, m_owner);
        window.exec();
    });
}

std::optional<std::string> QtDesktop::Secret(std::string_view key, std::string_view prompt) {
    return OnGuiThread([&]() -> std::optional<std::string> {
        const QString name = ToQString(key);
        if (!m_secrets.contains(name)) {
            std::optional<QString> secret = m_store->Read(name);
            if (!secret) {
                bool ok = false;
                const QString typed =
                    QInputDialog::getText(m_owner, QStringLiteral("Password"), ToQString(prompt),
                                          QLineEdit::Password, QString(), &ok);
                if (!ok)
                    return std::nullopt;
                m_store->Write(name, typed);
                secret = typed;
            }
            m_secrets.insert(name, *secret);
        }
        const QByteArray bytes = m_secrets.value(name).toUtf8();
        return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    });
}

void QtDesktop::ForgetSecret(std::string_view key) {
    OnGuiThread([&] {
        const QString name = ToQString(key);
        m_secrets.remove(name);
        m_store->Remove(name);
    });
}

} // namespace korvane::gui
