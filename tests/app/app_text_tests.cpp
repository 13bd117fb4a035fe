// The application title, the error box's "." rule, and the two boxes as a
// user meets them.
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <cfenv>
#include <cstdint>

#include "app/application_title.h"
#include "app/message_boxes.h"
#include "app/window_fonts.h"
#include "tests/app/fp_probe.h"
#include "tests/app/modal_answerer.h"

using pelmoro::testing::ModalAnswerer;

using pelmoro::testing::DropX87PrecisionToDouble;
using pelmoro::testing::SeenModal;
using pelmoro::testing::X87ControlWord;

class BoxesTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { pelmoro::RegisterFontSubstitutes(); }

  void TitleFromExecutable_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("title");
    QTest::newRow("installed program") << "/usr/bin/pelmoro"
                                       << "pelmoro";
    QTest::newRow("upper case with extension") << "/opt/x/CONVERT.EXE"
                                               << "Convert";
    QTest::newRow("mixed case") << "/a/PelMoro"
                                << "Pelmoro";
    QTest::newRow("cut before the first dot") << "/a/my.tool.bin"
                                              << "my";
    QTest::newRow("dots in folders do not count") << "/a.b/c.d/Tool"
                                                  << "Tool";
    QTest::newRow("no folder") << "STL2HZM"
                               << "Stl2hzm";
    QTest::newRow("name starting with a dot") << "/a/.hidden"
                                              << "";
    QTest::newRow("non-ASCII letters") << "/a/ÄBC.x"
                                       << "Äbc";
  }
  void TitleFromExecutable() {
    QFETCH(QString, path);
    QFETCH(QString, title);
    QCOMPARE(pelmoro::TitleFromExecutable(path), title);
  }

  void ErrorBoxText_data() {
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("shown");
    QTest::newRow("ends in a letter") << QByteArray("Disk full") << QByteArray("Disk full.");
    QTest::newRow("ends in a digit") << QByteArray("Code 5") << QByteArray("Code 5.");
    QTest::newRow("ends in a Japanese character")
        << QByteArray("ファイルが見つかりません") << QByteArray("ファイルが見つかりません.");
    QTest::newRow("ends in a dot") << QByteArray("Done.") << QByteArray("Done.");
    QTest::newRow("ends in a parenthesis")
        << QByteArray("I/O エラー (1234)") << QByteArray("I/O エラー (1234)");
    QTest::newRow("ends in an exclamation mark") << QByteArray("Stop!") << QByteArray("Stop!");
    QTest::newRow("ends in a space") << QByteArray("odd ") << QByteArray("odd ");
    QTest::newRow("ends in a slash, above the dot") << QByteArray("a/") << QByteArray("a/.");
    QTest::newRow("ends in a comma, below the dot") << QByteArray("a,") << QByteArray("a,");
    QTest::newRow("ends in a quote") << QByteArray("'x'") << QByteArray("'x'");
    QTest::newRow("empty") << QByteArray() << QByteArray();
  }
  void ErrorBoxText() {
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, shown);
    QCOMPARE(QByteArray::fromStdString(pelmoro::ErrorBoxText(message.toStdString())), shown);
  }

  void MessageBoxLooksAsDescribed_data() {
    QTest::addColumn<bool>("by_escape");
    QTest::newRow("closed with Enter") << false;
    QTest::newRow("closed with Esc") << true;
  }
  void MessageBoxLooksAsDescribed() {
    QFETCH(bool, by_escape);
    ModalAnswerer answerer;
    if (by_escape) {
      answerer.PressEscape();
    } else {
      answerer.PressEnter();
    }
    pelmoro::ShowMessageBox("Error!\r\nPitch larger than 0.025");
    QCOMPARE(answerer.seen().size(), std::size_t{1});
    const SeenModal& box = answerer.seen().front();
    QCOMPARE(box.kind, SeenModal::kMessageBox);
    QVERIFY(box.answered);
    QCOMPARE(box.title, pelmoro::ApplicationTitle());
    QCOMPARE(box.title, QStringLiteral("app_text_tests"));
    QCOMPARE(box.text, QStringLiteral("Error!\nPitch larger than 0.025"));
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QCOMPARE(box.buttons, 1);
    QCOMPARE(answerer.unanswered(), 0);
    // In the middle of the screen (to the pixel, give or take rounding).
    const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
    QVERIFY2((box.frame.center() - centre).manhattanLength() <= 2,
             qPrintable(QStringLiteral("box at %1,%2 %3x%4")
                            .arg(box.frame.x())
                            .arg(box.frame.y())
                            .arg(box.frame.width())
                            .arg(box.frame.height())));
  }

  void ErrorBoxHasTheStopIconAndTheDotRule() {
    ModalAnswerer answerer;
    answerer.PressEnter();
    pelmoro::ShowErrorBox("ファイルが見つかりません");
    QCOMPARE(answerer.seen().size(), std::size_t{1});
    const SeenModal& box = answerer.seen().front();
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.title, pelmoro::ApplicationTitle());
    QCOMPARE(box.text, QStringLiteral("ファイルが見つかりません."));
    QCOMPARE(box.buttons, 1);
  }

  void BoxShownWhileClosingClosesByItself() {
    ModalAnswerer answerer;  // no answer queued: the box must not wait
    pelmoro::ShowMessageBox("Break !", /*close_at_once=*/true);
    QCOMPARE(answerer.seen().size(), std::size_t{1});
    QVERIFY(answerer.seen().front().closed_by_itself);
    QCOMPARE(answerer.unanswered(), 0);
  }

  void BoxKeepsTheFloatingPointEnvironment() {
    ModalAnswerer answerer;
    // Code running while the box is open changes the rounding.
    // Code running while the box is open changes the rounding and drops the
    // x87 precision to that of a double.
    const std::uint16_t before = X87ControlWord();
    QCOMPARE(std::fegetround(), FE_TONEAREST);
    answerer.PressEnter([](QWidget*) {
      std::fesetround(FE_UPWARD);
      DropX87PrecisionToDouble();
    });
    pelmoro::ShowMessageBox("Complate !");
    QVERIFY(answerer.seen().front().answered);
    QCOMPARE(std::fegetround(), FE_TONEAREST);
    QCOMPARE(X87ControlWord(), before);
  }
};

QTEST_MAIN(BoxesTest)
#include "app_text_tests.moc"
