#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace korvane::gui {

// The core keeps single-byte text (settings fields, log lines, records); Latin-1 maps each byte
// to one character and back, so nothing is lost or widened on the way through a widget.
inline QString ToQString(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToStdString(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// A form field's text: single bytes, or UTF-8 where the field says so.
inline QString FieldQString(std::string_view text, bool unicode) {
    return unicode ? QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
                   : ToQString(text);
}

inline std::string FieldStdString(const QString& text, bool unicode) {
    return unicode ? text.toUtf8().toStdString() : ToStdString(text);
}

// Report and header texts end their lines with CR LF; text widgets want plain line feeds.
inline QString ForDisplay(std::string_view text) {
    QString shown = ToQString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

} // namespace korvane::gui
