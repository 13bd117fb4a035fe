// The window under the user's desktop language: Qt's own labels in its file
// dialogs, and the converter's refusal of a file that is no STL.
#include <QFileDialog>
#include <QLabel>
#include <QTest>
#include <clocale>

#include "app/window_fonts.h"
#include "app/window_language.h"
#include "tests/app/run_harness.h"

using pelmoro::testing::ModalAnswerer;
using pelmoro::testing::RunHarness;
using pelmoro::testing::SeenModal;

namespace {

bool HasAsciiOnly(const QString& text) {
  for (const QChar c : text) {
    if (c.unicode() > 0x7F) return false;
  }
  return true;
}

// The LC_MESSAGES locale a desktop session would give, and the catalog
// bound as the program binds it.
bool UseMessageLocale(const char* name) {
  qputenv("LANGUAGE", "");
  if (std::setlocale(LC_MESSAGES, name) == nullptr) return false;
  pelmoro::OpenWindowCatalog(PELMORO_LOCALE_DIR);
  return true;
}

}  // namespace

class LanguageTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { pelmoro::RegisterFontSubstitutes(); }
  void cleanup() { std::setlocale(LC_MESSAGES, "C.UTF-8"); }

  void FileDialogLabels_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<bool>("japanese");
    QTest::newRow("Japanese desktop") << QLocale(QLocale::Japanese, QLocale::Japan) << true;
    QTest::newRow("English desktop") << QLocale(QLocale::English, QLocale::UnitedStates) << false;
  }
  void FileDialogLabels() {
    QFETCH(QLocale, locale);
    QFETCH(bool, japanese);
    QTranslator* translator = pelmoro::InstallQtTranslations(locale);
    if (japanese)
      QVERIFY2(translator != nullptr, "qtbase_ja.qm (qt6-translations-l10n) is missing");
    {
      RunHarness run;  // the window makes its dialogs as it starts
      for (QFileDialog* dialog : {run.form().OpenDialog1, run.form().SaveDialog1}) {
        for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"}) {
          const auto* label = dialog->findChild<QLabel*>(QString::fromLatin1(name));
          QVERIFY2(label != nullptr, name);
          QVERIFY2(HasAsciiOnly(label->text()) != japanese, qPrintable(label->text()));
        }
      }
    }
    if (translator != nullptr) {
      QCoreApplication::removeTranslator(translator);
      delete translator;
    }
  }

  void RefusalOfAFileThatIsNoStl_data() {
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QByteArray>("model");
    QTest::addColumn<QString>("text");
    const QByteArray obj("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    QTest::newRow("OBJ, English desktop")
        << QByteArray("C.UTF-8") << obj
        << QStringLiteral(
               "not an STL file: it looks like an OBJ model (\"v\" and \"f\" lines); "
               "convert it to STL.");
    QTest::newRow("OBJ, Japanese desktop")
        << QByteArray("ja_JP.UTF-8") << obj
        << QStringLiteral(
               "STL ファイルではありません: OBJ モデル (\"v\" 行と \"f\" 行) のようです; "
               "STL に変換してください.");
    QTest::newRow("PNG image, Japanese desktop")
        << QByteArray("ja_JP.UTF-8") << QByteArray("\x89PNG\r\n\x1a\n and the rest")
        << QStringLiteral("STL ファイルではありません: PNG 画像のように始まっています.");
    QTest::newRow("empty file, Japanese desktop")
        << QByteArray("ja_JP.UTF-8") << QByteArray()
        << QStringLiteral("STL ファイルではありません: ファイルが空です.");
  }
  void RefusalOfAFileThatIsNoStl() {
    QFETCH(QByteArray, locale);
    QFETCH(QByteArray, model);
    QFETCH(QString, text);
    if (!UseMessageLocale(locale.constData())) QSKIP("that locale is not installed here");
    RunHarness run;
    const QString input = run.Write("part.stl", model);
    ModalAnswerer answerer;
    run.Convert(answerer, input, run.Path("part.hzm"));
    QCOMPARE(answerer.seen().size(), std::size_t{3});
    const SeenModal& box = answerer.seen()[2];
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.text, text);
    QCOMPARE(run.Files(), QStringList{"part.stl"});  // nothing written
    QVERIFY(run.Idle());
  }
};

QTEST_MAIN(LanguageTest)
#include "app_language_tests.moc"
