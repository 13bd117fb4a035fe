// Stopping and closing during a run, the window's message passes, and
// Enter while a run is under way.
#include <sys/stat.h>

#include <QCheckBox>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <functional>
#include <optional>
#include <string>

#include "app/termination_signals.h"
#include "app/window_fonts.h"
#include "foundation/numbers.h"
#include "tests/app/run_events.h"
#include "tests/app/run_harness.h"
#include "tests/app/test_models.h"

using pelmoro::testing::ExecUntilLastWindowCloses;
using pelmoro::testing::HeaderAndRows;
using pelmoro::testing::ModalAnswerer;
using pelmoro::testing::PostClick;
using pelmoro::testing::ReadFile;
using pelmoro::testing::Recorder;
using pelmoro::testing::ReliefStl;
using pelmoro::testing::RowsOf;
using pelmoro::testing::RunHarness;
using pelmoro::testing::SeenModal;
using pelmoro::testing::SignalWhileOpenWaits;
using pelmoro::testing::StackedWideTrianglesStl;

namespace {

// 12 x 12 squares of 5 mm: 288 triangles; at 0.1 mm 51 rows of 51 points.
constexpr int kCells = 12;
constexpr double kSize = 5.0;
constexpr int kTriangles = 2 * kCells * kCells;
constexpr int kRows = 51;

// The input is a FIFO that no one writes: the run waits in its open.
constexpr int kWaitingForWriter = 0;

}  // namespace

class StopTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { pelmoro::RegisterFontSubstitutes(); }
  void init() {
    pelmoro::SetDecimalSeparator('.');
    run_ = std::make_unique<RunHarness>();
    input_ = run_->Write("relief.stl", ReliefStl(kCells, kSize));
    full_ = run_->Reference(input_, "0.1");
    QCOMPARE(RowsOf(full_), kRows);
  }
  void cleanup() { run_.reset(); }

  void StopWhileReading_data() {
    QTest::addColumn<int>("pass");
    QTest::newRow("after the first triangle") << 1;
    QTest::newRow("halfway") << kTriangles / 2;
    QTest::newRow("after the last triangle") << kTriangles;
  }
  void StopWhileReading() {
    QFETCH(int, pass);
    // Reading stops after the triangle of that pass; the scan then writes
    // one row over the triangles read so far.
    const QString part = run_->Write("part.stl", ReliefStl(kCells, kSize, pass));
    const QByteArray expected = HeaderAndRows(run_->Reference(part, "0.1"), 1);
    QFile::remove(part);
    run_->form().on_pass = [&](int n) {
      if (n == pass) QTest::mouseClick(run_->form().Button2, Qt::LeftButton);
    };
    ModalAnswerer answerer;
    run_->Convert(answerer, input_, run_->Path("out.hzm"));
    QCOMPARE(answerer.seen().back().text, QStringLiteral("Break !"));
    const QByteArray written = ReadFile(run_->Path("out.hzm"));
    QCOMPARE(RowsOf(written), 1);
    // What the user sees: the one row over the triangles read up to the
    // stop. (How many message passes the run made after it is not counted:
    // the window keeps handling its messages while the map reaches the disk,
    // for as long as the disk takes.)
    QCOMPARE(written, expected);
    QVERIFY(run_->Idle());
  }

  void StopWhileScanning_data() {
    QTest::addColumn<int>("row");  // past kRows: as the closing starts
    QTest::addColumn<QString>("message");
    const QString kBreak = QStringLiteral("Break !");
    QTest::newRow("after the first row") << 1 << kBreak;
    QTest::newRow("after row 20") << 20 << kBreak;
    QTest::newRow("during the last row: every row, yet a break") << kRows << kBreak;
    QTest::newRow("while the map reaches the disk: too late, complete")
        << kRows + 1 << QStringLiteral("Complate !");
  }
  void StopWhileScanning() {
    QFETCH(int, row);
    QFETCH(QString, message);
    const auto click = [&] { QTest::mouseClick(run_->form().Button2, Qt::LeftButton); };
    run_->form().on_pass = [&](int n) {
      if (n == kTriangles + row) click();
    };
    run_->form().on_phase = [&](pelmoro::RunPhase phase) {
      if (row > kRows && phase == pelmoro::RunPhase::kClosing) click();
    };
    ModalAnswerer answerer;
    run_->Convert(answerer, input_, run_->Path("out.hzm"));
    QCOMPARE(answerer.seen().back().text, message);
    QCOMPARE(ReadFile(run_->Path("out.hzm")), HeaderAndRows(full_, std::min(row, kRows)));
    QVERIFY(run_->Idle());
  }

  // Inside a row that takes seconds, a click on Stop is dispatched at
  // once and the run ends within a moment, the row in progress dropped.
  // The bound is a loaded machine's: the row alone would take far longer.
  void StopInsideASlowRow() {
    const QString wide = run_->Write("wide.stl", StackedWideTrianglesStl(600));
    QElapsedTimer clock;
    qint64 due = -1, clicked = -1;
    QString caption;
    run_->form().on_phase = [&](pelmoro::RunPhase phase) {
      if (phase != pelmoro::RunPhase::kScanning) return;
      clock.start();
      due = 1000;
      QTimer::singleShot(due, &run_->form(), [&] {
        clicked = clock.elapsed();
        QTest::mouseClick(run_->form().Button2, Qt::LeftButton);
        caption = run_->form().Button2->text();
      });
    };
    ModalAnswerer answerer;
    run_->Convert(answerer, wide, run_->Path("out.hzm"), QStringLiteral("0.05"));
    const qint64 ended = clock.elapsed();
    QVERIFY(clicked >= due);
    QVERIFY2(clicked - due < 2000, qPrintable(QString::number(clicked - due)));
    QCOMPARE(caption, QStringLiteral("Exit"));  // the stop request, seen at the click
    QVERIFY2(ended - clicked < 2000, qPrintable(QString::number(ended - clicked)));
    QCOMPARE(answerer.seen().back().text, QStringLiteral("Break !"));
    // Not one row was whole: the header alone.
    QCOMPARE(ReadFile(run_->Path("out.hzm")), HeaderAndRows(full_, 0));
    QVERIFY(run_->Idle());
  }

  void QueuedClickIsDispatchedByTheMessagePass() {
    run_->form().SetMessageInterval(std::chrono::milliseconds(0));
    run_->form().on_pass = [&](int n) {
      if (n == kTriangles + 3) PostClick(run_->form().Button2);
    };
    ModalAnswerer answerer;
    run_->Convert(answerer, input_, run_->Path("out.hzm"));
    QCOMPARE(answerer.seen().back().text, QStringLiteral("Break !"));
    QCOMPARE(ReadFile(run_->Path("out.hzm")), HeaderAndRows(full_, 3));
  }

  void MessagePassesCloseTogetherAreSkipped_data() {
    QTest::addColumn<int>("interval_ms");
    QTest::addColumn<int>("posted_at");
    QTest::addColumn<int>("arrives_at");
    constexpr int kHour = 3600 * 1000;
    QTest::newRow("no interval: every pass dispatches") << 0 << 40 << 40;
    QTest::newRow("the first pass of a run always dispatches") << kHour << 1 << 1;
    QTest::newRow("later passes within the interval do not") << kHour << 40 << -1;
  }
  void MessagePassesCloseTogetherAreSkipped() {
    QFETCH(int, interval_ms);
    QFETCH(int, posted_at);
    QFETCH(int, arrives_at);
    run_->form().SetMessageInterval(std::chrono::milliseconds(interval_ms));
    Recorder recorder(run_->form());
    run_->form().on_pass = [&](int n) {
      if (n == posted_at) QCoreApplication::postEvent(&recorder, new QEvent(QEvent::User));
    };
    ModalAnswerer answerer;
    answerer.AcceptName(input_);
    answerer.AcceptName(run_->Path("out.hzm"));
    answerer.PressEnter();
    run_->ClickConvert();
    QCOMPARE(answerer.seen().back().text, QStringLiteral("Complate !"));
    QCOMPARE(recorder.arrived_at, arrives_at);
    QCOMPARE(ReadFile(run_->Path("out.hzm")), full_);
  }

  void SurfaceClickTakesEffectFromTheNextRow() {
    const QByteArray first = run_->Reference(input_, "0.1", /*surface=*/true);
    QVERIFY(first != full_);
    constexpr int kRow = 25;
    run_->form().on_pass = [&](int n) {
      if (n == kTriangles + kRow) QTest::mouseClick(run_->form().CheckBox1, Qt::LeftButton);
    };
    ModalAnswerer answerer;
    run_->Convert(answerer, input_, run_->Path("out.hzm"));
    QCOMPARE(answerer.seen().back().text, QStringLiteral("Complate !"));
    const QByteArray expected =
        HeaderAndRows(full_, kRow) + first.mid(HeaderAndRows(first, kRow).size());
    QCOMPARE(ReadFile(run_->Path("out.hzm")), expected);
  }

  void TwoClicksOnStopEndTheProgramAfterTheRun() {
    run_->form().on_pass = [&](int n) {
      if (n == kTriangles + 2) {
        QTest::mouseClick(run_->form().Button2, Qt::LeftButton);  // stop
        QCOMPARE(run_->form().Button2->text(), QStringLiteral("Exit"));
        QTest::mouseClick(run_->form().Button2, Qt::LeftButton);  // end the program
        QVERIFY(run_->form().isVisible());                        // not yet: the run goes on
      }
    };
    ModalAnswerer answerer;  // the closing box must not wait for an answer
    answerer.AcceptName(input_);
    answerer.AcceptName(run_->Path("out.hzm"));
    QVERIFY(ExecUntilLastWindowCloses([&] { run_->ClickConvert(); }));
    QCOMPARE(answerer.seen().size(), std::size_t{3});
    QCOMPARE(answerer.seen()[2].text, QStringLiteral("Break !"));
    QVERIFY(answerer.seen()[2].closed_by_itself);
    QCOMPARE(answerer.unanswered(), 0);
    QCOMPARE(ReadFile(run_->Path("out.hzm")), HeaderAndRows(full_, 2));
    QVERIFY(!run_->form().isVisible());
  }

  void CloseBoxDuringARun_data() {
    QTest::addColumn<int>("pass");
    QTest::newRow("while reading") << 10;
    QTest::newRow("while scanning") << kTriangles + 5;
  }
  void CloseBoxDuringARun() {
    QFETCH(int, pass);
    run_->form().SetMessageInterval(std::chrono::milliseconds(0));
    run_->form().on_pass = [&](int n) {
      if (n == pass) {
        // What the window manager sends for the close box or Alt+F4.
        QCoreApplication::postEvent(run_->form().windowHandle(), new QCloseEvent);
      }
    };
    ModalAnswerer answerer;
    answerer.AcceptName(input_);
    answerer.AcceptName(run_->Path("out.hzm"));
    QVERIFY(ExecUntilLastWindowCloses([&] { run_->ClickConvert(); }));
    // The run went on to its end; its message closed by itself.
    QCOMPARE(answerer.seen().size(), std::size_t{3});
    QCOMPARE(answerer.seen()[2].text, QStringLiteral("Complate !"));
    QVERIFY(answerer.seen()[2].closed_by_itself);
    QCOMPARE(ReadFile(run_->Path("out.hzm")), full_);
    QVERIFY(!run_->form().isVisible());
  }

  void TerminationSignalDuringARun_data() {
    QTest::addColumn<int>("signal_number");
    QTest::addColumn<int>("pass");
    QTest::newRow("SIGTERM while reading") << int{SIGTERM} << 10;
    QTest::newRow("SIGHUP while scanning") << int{SIGHUP} << kTriangles + 5;
    QTest::newRow("SIGINT while scanning") << int{SIGINT} << kTriangles + 5;
    QTest::newRow("SIGTERM while a FIFO waits for its writer") << int{SIGTERM} << kWaitingForWriter;
    QTest::newRow("SIGINT while a FIFO waits for its writer") << int{SIGINT} << kWaitingForWriter;
  }
  void TerminationSignalDuringARun() {
    QFETCH(int, signal_number);
    QFETCH(int, pass);
    // The run is abandoned: no closing box, the earlier map stays, nothing
    // is left beside it, and the window closes.
    const QByteArray earlier("an earlier height map\r\n");
    run_->Write("out.hzm", earlier);
    QString input = input_;
    if (pass == kWaitingForWriter) {
      input = run_->Path("waiting.stl");
      QCOMPARE(::mkfifo(QFile::encodeName(input).constData(), 0600), 0);
    }
    const QStringList before = run_->Files();
    pelmoro::TerminationSignals termination;
    connect(&termination, &pelmoro::TerminationSignals::arrived, &run_->form(),
            &pelmoro::TForm1::EndForSignal);
    run_->form().SetMessageInterval(std::chrono::milliseconds(0));
    run_->form().on_pass = [&](int n) {
      if (n == pass) ::raise(signal_number);
    };
    // Watching from the moment the output is named; gone before the
    // handlers are, so no signal comes after them.
    std::optional<SignalWhileOpenWaits> sender;
    std::function<void(QWidget*)> start_watching;
    if (pass == kWaitingForWriter) {
      start_watching = [&](QWidget*) { sender.emplace(signal_number, input); };
    }
    ModalAnswerer answerer;
    answerer.AcceptName(input);
    answerer.AcceptName(run_->Path("out.hzm"), start_watching);
    QVERIFY(ExecUntilLastWindowCloses([&] { run_->ClickConvert(); }));
    if (pass == kWaitingForWriter) {
      QVERIFY2(sender && sender->Finish(), "the signal did not end the wait for a writer");
    }
    QCOMPARE(answerer.seen().size(), std::size_t{2});
    QVERIFY(pelmoro::TerminationSignals::Arrived());
    QCOMPARE(ReadFile(run_->Path("out.hzm")), earlier);
    QCOMPARE(run_->Files(), before);
    QVERIFY(!run_->form().isVisible());
  }

  void EnterDuringARunClicksNothing_data() {
    QTest::addColumn<bool>("from_button");
    QTest::newRow("run started from the pitch field") << false;
    QTest::newRow("run started by Space on Convert") << true;
  }
  void EnterDuringARunClicksNothing() {
    QFETCH(bool, from_button);
    InstrumentedFormRef form = run_->form();
    QWidget* start =
        from_button ? static_cast<QWidget*>(form.Button1) : static_cast<QWidget*>(form.Edit1);
    start->setFocus(Qt::TabFocusReason);
    QWidget* focus_during_run = nullptr;
    form.on_pass = [&](int n) {
      if (n == 1) {
        // The window is active again once the file dialogs have gone.
        form.activateWindow();
        QCoreApplication::processEvents();
      }
      if (n == kTriangles + 2) {
        focus_during_run = QApplication::focusWidget();
        QTest::keyClick(focus_during_run ? focus_during_run : &form, Qt::Key_Return);
      }
    };
    ModalAnswerer answerer;
    answerer.AcceptName(input_);
    answerer.AcceptName(run_->Path("out.hzm"));
    answerer.PressEnter();
    QTest::keyClick(start, from_button ? Qt::Key_Space : Qt::Key_Return);
    QCOMPARE(focus_during_run, from_button ? static_cast<QWidget*>(&form) : start);
    QCOMPARE(answerer.Kinds(),
             (std::vector{SeenModal::kOpenDialog, SeenModal::kSaveDialog, SeenModal::kMessageBox}));
    QCOMPARE(answerer.seen()[2].text, QStringLiteral("Complate !"));
    QCOMPARE(ReadFile(run_->Path("out.hzm")), full_);
    QCOMPARE(form.focusWidget(), start);
  }

  void RunningWindowShowsProgressAndStop() {
    int bar = -1;
    QString caption;
    bool convert_enabled = true;
    run_->form().on_pass = [&](int n) {
      if (n == kTriangles + kRows / 2) {
        bar = run_->form().ProgressBar1->value();
        caption = run_->form().Button2->text();
        convert_enabled = run_->form().Button1->isEnabled();
        // Looked at by a person: the window in the middle of a scan.
        run_->form().grab().save(QStringLiteral(PELMORO_SHOT_DIR "/running_window.png"));
      }
    };
    ModalAnswerer answerer;
    run_->Convert(answerer, input_, run_->Path("out.hzm"));
    QVERIFY2(bar > 30 && bar < 70, qPrintable(QString::number(bar)));
    QCOMPARE(caption, QStringLiteral("Stop"));
    QVERIFY(!convert_enabled);
    QVERIFY(run_->Idle());
  }

 private:
  using InstrumentedFormRef = pelmoro::testing::InstrumentedForm&;
  std::unique_ptr<RunHarness> run_;
  QString input_;
  QByteArray full_;
};

QTEST_MAIN(StopTest)
#include "app_stop_tests.moc"
