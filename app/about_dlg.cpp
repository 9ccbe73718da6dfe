#include "app/about_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "encoding/sjis.h"
#include "screen/screen_text.h"
#include "texts/texts.h"

namespace tolvane {
namespace {

// Wide enough for the first three paragraphs to stay on one line each; the joined fourth wraps.
constexpr int kHelpTextWidth = 380;

// The fourth paragraph is two sentences run together.
constexpr std::string_view kHelpParts[] = {
    kHelpSearch, kLf, kHelpAndSearch, kLf, kHelpHistory, kLf, kHelpPrint, kHelpEditor, kLf,
};

constexpr std::size_t HelpBytes() {
  std::size_t bytes = 0;
  for (const std::string_view part : kHelpParts) bytes += part.size();
  return bytes;
}

}  // namespace

std::string BuildAboutText() {
  std::string text;
  text.reserve(HelpBytes());
  for (const std::string_view part : kHelpParts) text += part;
  return text;
}

CAboutDlg::CAboutDlg(const std::string& help_text, QWidget* parent) : QDialog(parent) {
  setWindowTitle(LiteralTitle(FromSjis(kAboutCaption)));
  setModal(true);

  auto* help = new QLabel(FromSjis(help_text), this);
  help->setObjectName(QString::fromLatin1(kAboutTextName));
  help->setTextFormat(Qt::PlainText);
  help->setWordWrap(true);
  help->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  help->setFixedWidth(kHelpTextWidth);

  auto* credit = new QLabel(FromSjis(kAboutCredit), this);
  credit->setTextFormat(Qt::PlainText);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(credit);
  bottom->addStretch();
  bottom->addWidget(ok);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(help);
  layout->addLayout(bottom);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace tolvane
