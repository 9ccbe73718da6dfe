#include "app/tolvane_doc.h"

#include <QFileInfo>

#include "screen/screen_text.h"
#include "texts/texts.h"

namespace tolvane {

CTolvaneDoc::CTolvaneDoc() { OnNewDocument(); }

void CTolvaneDoc::OnNewDocument() { title_ = FromSjis(kDocumentName); }

void CTolvaneDoc::SetPathName(const QString& path) { title_ = QFileInfo(path).fileName(); }

}  // namespace tolvane
