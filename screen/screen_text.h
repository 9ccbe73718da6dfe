#pragma once
// The program's texts are Shift-JIS; Qt's are Unicode. These are the only crossings.
#include <QString>
#include <QWidget>
#include <string>
#include <string_view>

#include "encoding/cp932.h"
#include "encoding/text_encoding.h"

namespace tolvane {

inline QString FromSjis(std::string_view sjis) { return QString::fromStdString(Cp932ToUtf8(sjis)); }
// Text of a records file, in its own encoding.
inline QString FromEncoded(std::string_view bytes, TextEncoding encoding) {
  return QString::fromStdString(ToUtf8(encoding, bytes));
}

inline Cp932Encoding ToSjis(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return Utf8ToCp932(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

// Qt reads "[*]" in a window title as the modified marker; doubled, it shows as written.
inline QString LiteralTitle(QString title) {
  return title.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}

// The main window's caption, the program's only status line: every caption is set here.
inline void ShowCaption(QWidget& window, const QString& caption) {
  window.setWindowTitle(LiteralTitle(caption));
}

}  // namespace tolvane
