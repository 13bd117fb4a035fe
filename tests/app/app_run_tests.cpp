// Conversion runs through the window as a user makes them: the pitch, the
// two file dialogs, the output, the closing message, and errors.
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <cfenv>
#include <cstdint>

#include "app/message_boxes.h"
#include "app/window_fonts.h"
#include "foundation/numbers.h"
#include "run/conversion_run.h"
#include "tests/app/fp_probe.h"
#include "tests/app/run_harness.h"
#include "tests/app/test_models.h"
#include "tests/support/fake_driver.h"

using pelmoro::testing::ModalAnswerer;
using pelmoro::testing::ReliefStl;
using pelmoro::testing::RunHarness;
using pelmoro::testing::SeenModal;
using Kinds = std::vector<SeenModal::Kind>;

namespace {

constexpr auto kOpen = SeenModal::kOpenDialog;
constexpr auto kSave = SeenModal::kSaveDialog;
constexpr auto kBox = SeenModal::kMessageBox;

// The message a windowless run raises for an input, for comparison with
// what the window shows.
std::string WindowlessError(const QString& input, const QString& output) {
  pelmoro::GeometryStore store;
  pelmoro::testing::FakeDriver driver;
  try {
    pelmoro::RunConversion(store, {input.toStdString(), output.toStdString(), 4}, driver);
  } catch (const pelmoro::Exception& e) {
    return e.message();
  }
  return {};
}

}  // namespace

class RunTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { pelmoro::RegisterFontSubstitutes(); }
  void init() { pelmoro::SetDecimalSeparator('.'); }

  void Pitch_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<char>("separator");
    QTest::addColumn<int>("pitch");
    QTest::addColumn<QString>("message");
    const QString small = QStringLiteral("Error!\nPitch larger than 0.025");
    const QString range = QStringLiteral("Error!\n0.025 < Pitch < 6.375");
    QTest::newRow("initial text") << "0.1" << '.' << 4 << QString();
    QTest::newRow("smallest") << "0.025" << '.' << 1 << QString();
    QTest::newRow("one millimetre") << "1" << '.' << 40 << QString();
    QTest::newRow("largest") << "6.375" << '.' << 255 << QString();
    QTest::newRow("fraction dropped") << "6.39" << '.' << 255 << QString();
    QTest::newRow("below one unit") << "0.02" << '.' << 0 << small;
    QTest::newRow("zero") << "0" << '.' << 0 << small;
    QTest::newRow("tiny negative") << "-0.01" << '.' << 0 << small;
    QTest::newRow("just too large") << "6.4" << '.' << 0 << range;
    QTest::newRow("far too large") << "100" << '.' << 0 << range;
    QTest::newRow("minus one unit") << "-0.025" << '.' << 0 << range;
    QTest::newRow("negative") << "-1" << '.' << 0 << range;
    QTest::newRow("letters") << "abc" << '.' << 0 << range;
    QTest::newRow("empty field") << "" << '.' << 0 << range;
    QTest::newRow("other separator") << "0,1" << '.' << 0 << range;
    QTest::newRow("beyond 64 bits") << "1e30" << '.' << 0 << range;
    QTest::newRow("comma locale") << "0,1" << ',' << 4 << QString();
    QTest::newRow("comma locale refuses the dot") << "0.1" << ',' << 0 << range;
  }
  void Pitch() {
    QFETCH(QString, text);
    QFETCH(char, separator);
    QFETCH(int, pitch);
    QFETCH(QString, message);
    pelmoro::SetDecimalSeparator(separator);
    RunHarness run;
    {
      ModalAnswerer answerer;
      answerer.PressEnter();  // the pitch message, if any
      QCOMPARE(int(run.form().ParsePitch(text)), pitch);
      QCOMPARE(answerer.seen().size(), std::size_t(message.isEmpty() ? 0 : 1));
      if (!message.isEmpty()) QCOMPARE(answerer.seen()[0].text, message);
    }
    // Through Convert: a refused pitch shows its message and no dialog.
    ModalAnswerer answerer;
    if (message.isEmpty()) {
      answerer.Cancel();
    } else {
      answerer.PressEnter();
    }
    run.ClickConvert(text);
    QCOMPARE(answerer.Kinds(), message.isEmpty() ? Kinds{kOpen} : Kinds{kBox});
    if (!message.isEmpty()) {
      QCOMPARE(answerer.seen()[0].text, message);
      QCOMPARE(answerer.seen()[0].icon, QMessageBox::NoIcon);
    }
    QVERIFY(run.Idle());
  }

  void CancellingEitherDialogEndsSilently_data() {
    QTest::addColumn<bool>("at_save");
    QTest::newRow("file-open dialog") << false;
    QTest::newRow("file-save dialog") << true;
  }
  void CancellingEitherDialogEndsSilently() {
    QFETCH(bool, at_save);
    RunHarness run;
    const QString input = run.Write("model.stl", ReliefStl(4, 2.0));
    ModalAnswerer answerer;
    if (at_save) answerer.AcceptName(input);
    answerer.Cancel();
    run.ClickConvert();
    QCOMPARE(answerer.Kinds(), (at_save ? Kinds{kOpen, kSave} : Kinds{kOpen}));
    QCOMPARE(answerer.unanswered(), 0);
    QCOMPARE(run.Files(), QStringList{"model.stl"});  // no file created
    QVERIFY(run.Idle());
  }

  void CompleteRunMatchesTheCommandLine_data() {
    QTest::addColumn<QString>("pitch");
    QTest::addColumn<bool>("surface");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("model");  // a model of tests/golden; empty: a relief made here
    QTest::newRow("initial pitch, highest triangle") << "0.1" << false << "out"
                                                     << "out.hzm"
                                                     << "";
    QTest::newRow("Surface ticked") << "0.1" << true << "out.hzm"
                                    << "out.hzm"
                                    << "";
    QTest::newRow("coarse pitch") << "0.75" << false << "out.hzm"
                                  << "out.hzm"
                                  << "";
    QTest::newRow("three-letter extension kept") << "0.5" << false << "out.txt"
                                                 << "out.txt"
                                                 << "";
    QTest::newRow("two-letter extension") << "0.5" << false << "out.hz"
                                          << "out.hz.hzm"
                                          << "";
    QTest::newRow("longer extension") << "0.5" << false << "out.hzml"
                                      << "out.hzml.hzm"
                                      << "";
    QTest::newRow("binary STL") << "0.25" << false << "out"
                                << "out.hzm"
                                << "binary_relief.stl";
    QTest::newRow("binary STL, Surface ticked") << "0.25" << true << "out"
                                                << "out.hzm"
                                                << "binary_relief.stl";
  }
  void CompleteRunMatchesTheCommandLine() {
    QFETCH(QString, pitch);
    QFETCH(bool, surface);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(QString, model);
    RunHarness run;
    const QString input =
        run.Write("model.stl",
                  model.isEmpty()
                      ? ReliefStl(12, 5.0)
                      : pelmoro::testing::ReadFile(QStringLiteral(PELMORO_GOLDEN_DIR "/") + model));
    const QByteArray expected = run.Reference(input, pitch, surface);
    QVERIFY(!expected.isEmpty());
    run.form().CheckBox1->setChecked(surface);
    ModalAnswerer answerer;
    run.Convert(answerer, input, run.Path(typed), pitch);
    QCOMPARE(answerer.Kinds(), (Kinds{kOpen, kSave, kBox}));
    QCOMPARE(answerer.seen()[2].text, QStringLiteral("Complate !"));
    QVERIFY(answerer.AllAnswersUsed());
    QVERIFY(run.Idle());
    QCOMPARE(run.Files(), (QStringList{"model.stl", written}));
    QCOMPARE(pelmoro::testing::ReadFile(run.Path(written)), expected);
  }

  void WorkedExampleByteForByte() {
    RunHarness run;
    const QString input = run.Write("one.stl", pelmoro::testing::OneTriangleStl());
    ModalAnswerer answerer;
    run.Convert(answerer, input, run.Path("one"), "1");
    QCOMPARE(answerer.seen().back().text, QStringLiteral("Complate !"));
    QCOMPARE(pelmoro::testing::ReadFile(run.Path("one.hzm")), pelmoro::testing::OneTriangleHzm());
  }

  void ExistingOutputReplacedWithoutQuestion() {
    RunHarness run;
    const QString input = run.Write("one.stl", pelmoro::testing::OneTriangleStl());
    run.Write("one.hzm", QByteArray(5000, 'x'));
    ModalAnswerer answerer;
    run.Convert(answerer, input, run.Path("one.hzm"), "1");
    QCOMPARE(answerer.Kinds(), (Kinds{kOpen, kSave, kBox}));
    QCOMPARE(pelmoro::testing::ReadFile(run.Path("one.hzm")), pelmoro::testing::OneTriangleHzm());
  }

  void SaveDialogProposesTheOutputName_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("proposed");  // the name field's text
    QTest::addColumn<QString>("folder");    // where the dialog opens, "" for the input's
    QTest::newRow("extension replaced") << "part.stl"
                                        << "part.hzm"
                                        << "";
    QTest::newRow("name without a dot") << "part"
                                        << "hzm"
                                        << "*";
    QTest::newRow("dot in a folder name") << "my.data/part"
                                          << "my.hzm"
                                          << "";
  }
  void SaveDialogProposesTheOutputName() {
    QFETCH(QString, input);
    QFETCH(QString, proposed);
    QFETCH(QString, folder);
    RunHarness run;
    QDir(run.Path("")).mkpath(QFileInfo(run.Path(input)).path());
    const QString path = run.Write(input, pelmoro::testing::OneTriangleStl());
    ModalAnswerer answerer;
    answerer.AcceptName(path);
    answerer.Cancel();
    run.ClickConvert();
    QCOMPARE(answerer.Kinds(), (Kinds{kOpen, kSave}));
    QCOMPARE(answerer.seen()[1].proposed_name, proposed);
    if (folder.isEmpty()) {
      QCOMPARE(answerer.seen()[1].proposed, run.Path(proposed));
    }
    QCOMPARE(answerer.seen()[1].filters, QStringList{"HZM (*.hzm)"});
    QCOMPARE(answerer.seen()[0].filters, QStringList{"STL (*.stl)"});
  }

  void DialogsListOnlyTheirPattern_data() {
    QTest::addColumn<bool>("save");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("file-open: STL in any case") << false << QStringList{"a.stl", "B.STL"};
    QTest::newRow("file-save: HZM") << true << QStringList{"d.hzm"};
  }
  void DialogsListOnlyTheirPattern() {
    QFETCH(bool, save);
    QFETCH(QStringList, listed);
    RunHarness run;
    for (const char* name : {"a.stl", "B.STL", "c.txt", "d.hzm"}) run.Write(name, "solid\n");
    QStringList shown;
    const auto list_files = [&shown](QWidget* window) {
      auto* view = window->findChild<QListView*>(QStringLiteral("listView"));
      QVERIFY(view != nullptr);
      // The folder is read in the background; wait until its files are in.
      QVERIFY(QTest::qWaitFor([&] { return view->model()->rowCount(view->rootIndex()) > 0; }));
      for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
        shown << view->model()->index(row, 0, view->rootIndex()).data().toString();
      }
      shown.sort(Qt::CaseInsensitive);
    };
    ModalAnswerer answerer;
    if (save) {
      answerer.AcceptName(run.Path("a.stl"));
      answerer.Cancel(list_files);
    } else {
      answerer.Cancel([&](QWidget* dialog) {
        static_cast<QFileDialog*>(dialog)->setDirectory(run.Path(""));
        list_files(dialog);
      });
    }
    run.ClickConvert();
    QCOMPARE(shown, listed);
  }

  void OpenDialogProposesTheLastInput() {
    RunHarness run;
    const QString input = run.Write("one.stl", pelmoro::testing::OneTriangleStl());
    ModalAnswerer answerer;
    run.Convert(answerer, input, run.Path("one.hzm"), "1");
    answerer.Cancel();
    run.ClickConvert();
    QCOMPARE(answerer.Kinds(), (Kinds{kOpen, kSave, kBox, kOpen}));
    QCOMPARE(answerer.seen()[3].proposed, input);
  }

  void DialogsKeepTheFloatingPointEnvironment() {
    RunHarness run;
    const QString input = run.Write("one.stl", pelmoro::testing::OneTriangleStl());
    using pelmoro::testing::X87ControlWord;
    const std::uint16_t control = X87ControlWord();
    int rounding_in_save = -1;
    std::uint16_t control_in_save = 0;
    ModalAnswerer answerer;
    // Code running inside the open dialog changes rounding and precision.
    answerer.AcceptName(input, [](QWidget*) {
      std::fesetround(FE_DOWNWARD);
      pelmoro::testing::DropX87PrecisionToDouble();
    });
    answerer.Cancel([&](QWidget*) {
      rounding_in_save = std::fegetround();
      control_in_save = X87ControlWord();
    });
    run.ClickConvert();
    QCOMPARE(rounding_in_save, FE_TONEAREST);
    QCOMPARE(control_in_save, control);
  }

  void ErrorBoxThenIdle_data() {
    QTest::addColumn<QByteArray>("model");  // empty: the input does not exist
    QTest::addColumn<QString>("ends_with");
    QTest::addColumn<bool>("reading");  // the reading gets under way
    QByteArray bad = ReliefStl(10, 4.0, 150);
    bad.replace(bad.lastIndexOf("vertex "), 20, "vertex 1.0 1x0 2.0\n");
    QByteArray truncated = pelmoro::testing::ReadFile(PELMORO_GOLDEN_DIR "/binary_relief.stl");
    truncated.chop(60);
    QTest::newRow("missing input") << QByteArray() << QString("ファイルが見つかりません.") << false;
    QTest::newRow("bad number after 149 triangles") << bad << QString("ではありません.") << true;
    QTest::newRow("not an STL file")
        << QByteArray("remember the milk\n") << QString("vertex lines.") << false;
    QTest::newRow("truncated binary STL") << truncated << QString("the file holds 95.") << false;
  }
  void ErrorBoxThenIdle() {
    QFETCH(QByteArray, model);
    QFETCH(QString, ends_with);
    QFETCH(bool, reading);
    RunHarness run;
    const QString input = model.isEmpty() ? run.Path("missing.stl") : run.Write("bad.stl", model);
    int bar_during_run = 0;
    run.form().on_pass = [&](int) { bar_during_run = run.form().ProgressBar1->value(); };
    ModalAnswerer answerer;
    run.Convert(answerer, input, run.Path("out.hzm"));
    QCOMPARE(answerer.Kinds(), (Kinds{kOpen, kSave, kBox}));  // no closing message
    const SeenModal& box = answerer.seen()[2];
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.title, QStringLiteral("app_run_tests"));
    QVERIFY2(box.text.endsWith(ends_with), qPrintable(box.text));
    const std::string message = WindowlessError(input, run.Path("other.hzm"));
    QCOMPARE(box.text, QString::fromStdString(pelmoro::ErrorBoxText(message)));
    if (reading) QVERIFY(bar_during_run > 0);
    QVERIFY(run.Idle());
    // The abandoned output leaves nothing behind.
    QCOMPARE(run.Files(), model.isEmpty() ? QStringList() : QStringList{"bad.stl"});

    // And the next press starts afresh.
    const QString good = run.Write("good.stl", ReliefStl(6, 3.0));
    ModalAnswerer again;
    run.Convert(again, good, run.Path("good.hzm"));
    QCOMPARE(again.seen().back().text, QStringLiteral("Complate !"));
    QCOMPARE(pelmoro::testing::ReadFile(run.Path("good.hzm")), run.Reference(good, "0.1"));
  }

  void OutputThatCannotBeCreated() {
    RunHarness run;
    const QString input = run.Write("one.stl", pelmoro::testing::OneTriangleStl());
    ModalAnswerer answerer;
    bool ran = false;
    run.form().on_pass = [&](int) { ran = true; };
    run.Convert(answerer, input, run.Path("no such folder/out.hzm"));
    QCOMPARE(answerer.Kinds(), (Kinds{kOpen, kSave, kBox}));
    QCOMPARE(answerer.seen()[2].icon, QMessageBox::Critical);
    QVERIFY(!answerer.seen()[2].text.isEmpty());
    QVERIFY(!ran);
    QVERIFY(run.Idle());
  }

  void OutputThatIsTheInputIsRefused() {
    RunHarness run;
    const QByteArray model = pelmoro::testing::OneTriangleStl();
    const QString input = run.Write("one.stl", model);
    ModalAnswerer answerer;
    run.Convert(answerer, input, input);  // ".stl": used unchanged
    QCOMPARE(answerer.Kinds(), (Kinds{kOpen, kSave, kBox}));
    const SeenModal& box = answerer.seen()[2];
    QCOMPARE(box.icon, QMessageBox::NoIcon);  // a message, not the error box
    QVERIFY2(box.text.startsWith(QStringLiteral("Error!\n")) && box.text.contains(input),
             qPrintable(box.text));
    QCOMPARE(pelmoro::testing::ReadFile(input), model);
    QCOMPARE(run.Files(), QStringList{"one.stl"});
    QVERIFY(run.Idle());
  }

  void SecondRunTakesBoundsFromItsOwnModel() {
    RunHarness run;
    QByteArray low = pelmoro::testing::OneTriangleStl();
    low.replace(" 1\n", " -3\n");  // z min -3 mm in the first model
    const QString first = run.Write("low.stl", low);
    const QString second = run.Write("one.stl", pelmoro::testing::OneTriangleStl());
    ModalAnswerer answerer;
    run.Convert(answerer, first, run.Path("low.hzm"), "1");
    run.Convert(answerer, second, run.Path("one.hzm"), "1");
    QCOMPARE(answerer.seen().size(), std::size_t{6});
    QCOMPARE(pelmoro::testing::ReadFile(run.Path("one.hzm")), pelmoro::testing::OneTriangleHzm());
  }
};

QTEST_MAIN(RunTest)
#include "app_run_tests.moc"
