// Qt's own texts come in Japanese, whatever the locale says: the run sets LANG=C.
#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "app/qt_translations.h"

class TranslationsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void contextMenuAndButtonsSpeakJapanese() {
    QVERIFY(tolvane::InstallQtTranslations(*qApp));
    QLineEdit box;
    std::unique_ptr<QMenu> menu(box.createStandardContextMenu());
    QStringList items;
    for (const QAction* action : menu->actions()) items << action->text();
    QVERIFY2(items.contains(QStringLiteral("貼り付け(&P)\tCtrl+V")), qPrintable(items.join(u'|')));
    QDialogButtonBox buttons(QDialogButtonBox::Cancel);
    QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("キャンセル"));
  }
};

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  TranslationsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "translations_test.moc"
