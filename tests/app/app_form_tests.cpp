// Form1 as the user first meets it: controls, fonts, places, keyboard, and
// closing it with no run under way.
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <cmath>
#include <memory>

#include "app/application_icon.h"
#include "app/main_window.h"
#include "app/message_boxes.h"
#include "app/window_fonts.h"
#include "foundation/numbers.h"
#include "tests/app/modal_answerer.h"

using pelmoro::TForm1;
using pelmoro::testing::ModalAnswerer;
using pelmoro::testing::SeenModal;

namespace {

int Scaled(int px, double scale) { return static_cast<int>(std::lround(px * scale)); }

QWidget* Control(TForm1& form, const QString& name) {
  const QHash<QString, QWidget*> controls = {{"Edit1", form.Edit1},
                                             {"Button1", form.Button1},
                                             {"Button2", form.Button2},
                                             {"CheckBox1", form.CheckBox1},
                                             {"Label1", form.Label1},
                                             {"Label2", form.Label2},
                                             {"Label3", form.Label3},
                                             {"Label4", form.Label4},
                                             {"ProgressBar1", form.ProgressBar1}};
  return controls.value(name);
}

QString Describe(const QRect& r) {
  return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

}  // namespace

class FormTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    pelmoro::RegisterFontSubstitutes();
    QApplication::setWindowIcon(pelmoro::ApplicationIcon());
  }

  void init() {
    form_ = std::make_unique<TForm1>(store_);
    form_->show();
    form_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
  }
  void cleanup() { form_.reset(); }

  void WindowCaptionPlaceAndSize() {
    const double s = form_->LayoutScale();
    QCOMPARE(form_->windowTitle(), QStringLiteral("PELMORO"));
    QCOMPARE(form_->size(), QSize(Scaled(313, s), Scaled(243, s)));
    QCOMPARE(form_->frameGeometry().topLeft(), QPoint(195, 108));
    QCOMPARE(form_->windowIcon().availableSizes().value(0), QSize(32, 32));
  }

  void LayoutScaleFollowsTheWindowFontHeight() {
    const int height = QFontMetrics(form_->font()).height();
    QCOMPARE(form_->LayoutScale(), height / 12.0);
    QCOMPARE(pelmoro::LayoutScale(pelmoro::WindowFont()), form_->LayoutScale());
  }

  void ControlGeometry_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("designed");
    QTest::addColumn<bool>("sizes_itself");
    QTest::newRow("Label1") << "Label1" << QRect(192, 120, 24, 16) << true;
    QTest::newRow("Label2") << "Label2" << QRect(82, 24, 147, 16) << true;
    QTest::newRow("Label3") << "Label3" << QRect(48, 120, 65, 16) << true;
    QTest::newRow("Label4") << "Label4" << QRect(16, 200, 122, 24) << true;
    QTest::newRow("Edit1") << "Edit1" << QRect(137, 120, 37, 20) << false;
    QTest::newRow("Button1") << "Button1" << QRect(152, 192, 65, 41) << false;
    QTest::newRow("Button2") << "Button2" << QRect(232, 192, 65, 41) << false;
    QTest::newRow("ProgressBar1") << "ProgressBar1" << QRect(24, 72, 265, 17) << false;
    QTest::newRow("CheckBox1") << "CheckBox1" << QRect(48, 152, 97, 17) << false;
  }
  void ControlGeometry() {
    QFETCH(QString, name);
    QFETCH(QRect, designed);
    QFETCH(bool, sizes_itself);
    const double s = form_->LayoutScale();
    QWidget* control = Control(*form_, name);
    QVERIFY(control != nullptr);
    const QRect actual = control->geometry();
    QCOMPARE(actual.topLeft(), QPoint(Scaled(designed.x(), s), Scaled(designed.y(), s)));
    if (sizes_itself) {
      QCOMPARE(actual.size(), control->sizeHint());
    } else {
      QCOMPARE(actual.size(), QSize(Scaled(designed.width(), s), Scaled(designed.height(), s)));
    }
    // Nothing lies outside the client area.
    QVERIFY2(form_->rect().contains(actual), qPrintable(Describe(actual)));
  }

  void ControlsDoNotOverlap() {
    const QStringList names = {"Label1",  "Label2",  "Label3",       "Label4",   "Edit1",
                               "Button1", "Button2", "ProgressBar1", "CheckBox1"};
    for (int i = 0; i < names.size(); ++i) {
      for (int j = i + 1; j < names.size(); ++j) {
        const QRect a = Control(*form_, names[i])->geometry();
        const QRect b = Control(*form_, names[j])->geometry();
        QVERIFY2(!a.intersects(b), qPrintable(names[i] + " " + Describe(a) + " meets " + names[j] +
                                              " " + Describe(b)));
      }
    }
  }

  void CaptionsFitTheirControls_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("Button1") << "Button1";
    QTest::newRow("Button2") << "Button2";
    QTest::newRow("CheckBox1") << "CheckBox1";
  }
  void CaptionsFitTheirControls() {
    QFETCH(QString, name);
    auto* button = qobject_cast<QAbstractButton*>(Control(*form_, name));
    const int text = QFontMetrics(button->font()).horizontalAdvance(button->text());
    // A check box needs room for its box too.
    const int room = qobject_cast<QCheckBox*>(button) ? button->width() - 20 : button->width() - 4;
    QVERIFY2(text <= room,
             qPrintable(QStringLiteral("text %1 px, room %2 px").arg(text).arg(room)));
    if (auto* box = qobject_cast<QCheckBox*>(button)) {
      QVERIFY(box->sizeHint().width() <= box->width());
    }
  }

  void ControlsAreCreatedInTheDesignedOrder() {
    // Later controls lie above earlier ones.
    QStringList order;
    const QList<QWidget*> expected = {form_->Label1,      form_->Label2,       form_->Label3,
                                      form_->Label4,      form_->Edit1,        form_->Button1,
                                      form_->Button2,     form_->ProgressBar1, form_->CheckBox1,
                                      form_->OpenDialog1, form_->SaveDialog1};
    QList<QWidget*> children;
    for (QObject* child : form_->children()) {
      if (auto* w = qobject_cast<QWidget*>(child); w && expected.contains(w)) children << w;
    }
    QCOMPARE(children, expected);
  }

  void StartsIdleWithThePitchSelected() {
    QCOMPARE(form_->Edit1->text(), QStringLiteral("0.1"));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form_->Edit1));
    QCOMPARE(form_->Edit1->selectedText(), QStringLiteral("0.1"));
    QCOMPARE(form_->Button1->text(), QStringLiteral("Convert"));
    QVERIFY(form_->Button1->isEnabled());
    QVERIFY(form_->Button1->isDefault());
    QCOMPARE(form_->Button2->text(), QStringLiteral("Exit"));
    QCOMPARE(form_->CheckBox1->text(), QStringLiteral("Surface"));
    QVERIFY(!form_->CheckBox1->isChecked());
    QCOMPARE(form_->ProgressBar1->minimum(), 0);
    QCOMPARE(form_->ProgressBar1->maximum(), 100);
    QCOMPARE(form_->ProgressBar1->value(), 0);
    QCOMPARE(form_->Label1->text(), QStringLiteral("mm"));
    QCOMPARE(form_->Label2->text(), QStringLiteral("STL to HZM converter"));
    QCOMPARE(form_->Label3->text(), QStringLiteral("Mesh size"));
    QCOMPARE(form_->Label4->text().count(QLatin1Char('\n')), 1);  // two lines
  }

  void Fonts_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("designed_px");
    QTest::newRow("Label1") << "Label1" << 16;
    QTest::newRow("Label2") << "Label2" << 16;
    QTest::newRow("Label3") << "Label3" << 16;
    QTest::newRow("Label4") << "Label4" << 12;
    QTest::newRow("Edit1") << "Edit1" << 12;
    QTest::newRow("Button1") << "Button1" << 16;
    QTest::newRow("Button2") << "Button2" << 16;
    QTest::newRow("CheckBox1") << "CheckBox1" << 16;
  }
  void Fonts() {
    QFETCH(QString, name);
    QFETCH(int, designed_px);
    const QFont font = Control(*form_, name)->font();
    QCOMPARE(font.family(), QStringLiteral("ＭＳ Ｐゴシック"));
    const int expected = designed_px == 12 ? 12 : Scaled(16, form_->LayoutScale());
    QCOMPARE(font.pixelSize(), expected);
    // Whatever stands in for the design font writes Japanese.
    const QString actual = QFontInfo(font).family();
    QVERIFY2(QFontDatabase::writingSystems(actual).contains(QFontDatabase::Japanese),
             qPrintable(actual));
  }

  void TabVisitsTheFourControlsInOrder() {
    const QList<QWidget*> forward = {form_->Button1, form_->Button2, form_->CheckBox1,
                                     form_->Edit1};
    for (QWidget* next : forward) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), next);
    }
    const QList<QWidget*> backward = {form_->CheckBox1, form_->Button2, form_->Button1,
                                      form_->Edit1};
    for (QWidget* next : backward) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
      QCOMPARE(QApplication::focusWidget(), next);
    }
    // Back in the field by Tab, its text is selected again.
    QCOMPARE(form_->Edit1->selectedText(), QStringLiteral("0.1"));
  }

  void Keys_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("outcome");
    const int none = Qt::NoModifier;
    QTest::newRow("Enter in the pitch field starts a run")
        << "Edit1" << int(Qt::Key_Return) << none << "open dialog";
    QTest::newRow("keypad Enter too")
        << "Edit1" << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << "open dialog";
    QTest::newRow("Enter on Convert") << "Button1" << int(Qt::Key_Return) << none << "open dialog";
    QTest::newRow("Enter on Surface clicks Convert")
        << "CheckBox1" << int(Qt::Key_Return) << none << "open dialog";
    QTest::newRow("Enter on Exit ends the program")
        << "Button2" << int(Qt::Key_Return) << none << "closed";
    QTest::newRow("Shift+Enter does nothing")
        << "Edit1" << int(Qt::Key_Return) << int(Qt::ShiftModifier) << "nothing";
    QTest::newRow("Ctrl+Enter does nothing")
        << "Edit1" << int(Qt::Key_Return) << int(Qt::ControlModifier) << "nothing";
    QTest::newRow("Alt+Enter on Exit does nothing")
        << "Button2" << int(Qt::Key_Return) << int(Qt::AltModifier) << "nothing";
    QTest::newRow("Esc in the field does nothing")
        << "Edit1" << int(Qt::Key_Escape) << none << "nothing";
    QTest::newRow("Esc on Exit does nothing")
        << "Button2" << int(Qt::Key_Escape) << none << "nothing";
    QTest::newRow("Space on Convert clicks it")
        << "Button1" << int(Qt::Key_Space) << none << "open dialog";
    QTest::newRow("Space on Exit clicks it") << "Button2" << int(Qt::Key_Space) << none << "closed";
    QTest::newRow("Space on Surface ticks it")
        << "CheckBox1" << int(Qt::Key_Space) << none << "checked";
  }
  void Keys() {
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, outcome);
    QWidget* target = Control(*form_, focus);
    target->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), target);
    ModalAnswerer answerer;
    answerer.Cancel();
    QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    const bool dialog = answerer.Kinds() == std::vector{SeenModal::kOpenDialog};
    QCOMPARE(dialog, outcome == "open dialog");
    if (!dialog) QVERIFY(answerer.seen().empty());
    QCOMPARE(form_->isVisible(), outcome != "closed");
    QCOMPARE(form_->CheckBox1->isChecked(), outcome == "checked");
  }

  void ClosingWhenIdleEndsAtOnce_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("click on Exit") << "Button2";
    QTest::newRow("close box") << "close box";
  }
  void ClosingWhenIdleEndsAtOnce() {
    QFETCH(QString, how);
    ModalAnswerer answerer;
    if (how == "Button2") {
      QTest::mouseClick(form_->Button2, Qt::LeftButton);
    } else {
      // What the window manager sends for the close box or Alt+F4.
      QCloseEvent close;
      QCoreApplication::sendEvent(form_->windowHandle(), &close);
    }
    QVERIFY(!form_->isVisible());
    QVERIFY(answerer.seen().empty());  // no question
  }

  void EnlargingMovesNoControl() {
    QList<QRect> before;
    for (QWidget* w : form_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      before << w->geometry();
    }
    form_->resize(form_->width() * 2, form_->height() * 2);
    QCoreApplication::processEvents();
    QList<QRect> after;
    for (QWidget* w : form_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      after << w->geometry();
    }
    QCOMPARE(after, before);
  }

  void LocaleChangeReadsTheSeparatorAgain() {
    // The test runs in the C locale, whose separator is ".".
    pelmoro::SetDecimalSeparator(',');
    QEvent change(QEvent::LocaleChange);
    QCoreApplication::sendEvent(form_.get(), &change);
    QCOMPARE(pelmoro::DecimalSeparator(), '.');
  }

  void Screenshots() {
    // Looked at by a person: the idle window and an error box with Japanese
    // text must show every glyph and cut nothing off.
    QVERIFY(form_->grab().save(QStringLiteral(PELMORO_SHOT_DIR "/idle_window.png")));
    ModalAnswerer answerer;
    answerer.PressEnter(
        [](QWidget* box) { box->grab().save(QStringLiteral(PELMORO_SHOT_DIR "/error_box.png")); });
    pelmoro::ShowErrorBox("'1.0x' は浮動小数点数ではありません");
    QCOMPARE(answerer.seen().size(), std::size_t{1});
    QVERIFY(!QFontDatabase::families(QFontDatabase::Japanese).isEmpty());
  }

 private:
  pelmoro::GeometryStore store_;
  std::unique_ptr<TForm1> form_;
};

QTEST_MAIN(FormTest)
#include "app_form_tests.moc"
