// Form1's look and keyboard: the controls at their designed places, the tab
// order, the default button, and what closing the window does.
#include "app/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <cmath>
#include <limits>

#include "app/segmented_progress_bar.h"
#include "app/window_fonts.h"
#include "app/window_language.h"
#include "foundation/numbers.h"

namespace pelmoro {
namespace {

// The window as designed for a 12 px window font (px, client coordinates).
constexpr int kClientWidth = 313;
constexpr int kClientHeight = 243;
constexpr int kWindowLeft = 195;
constexpr int kWindowTop = 108;

struct Place {
  int left, top, width, height;
};
constexpr Place kLabel1{192, 120, 24, 16};
constexpr Place kLabel2{82, 24, 147, 16};
constexpr Place kLabel3{48, 120, 65, 16};
constexpr Place kLabel4{16, 200, 122, 24};
constexpr Place kEdit1{137, 120, 37, 20};
constexpr Place kButton1{152, 192, 65, 41};
constexpr Place kButton2{232, 192, 65, 41};
constexpr Place kProgressBar1{24, 72, 265, 17};
constexpr Place kCheckBox1{48, 152, 97, 17};

constexpr char kNotice[] = "Pitch 0.025 to 6.375 mm\nSurface: first in file";

int Scaled(int px, double scale) { return static_cast<int>(std::lround(px * scale)); }

QRect ScaledRect(const Place& p, double scale) {
  return QRect(Scaled(p.left, scale), Scaled(p.top, scale), Scaled(p.width, scale),
               Scaled(p.height, scale));
}

// Labels size themselves to their text; only the corner is designed.
void PlaceLabel(QLabel* label, const Place& p, double scale) {
  label->move(Scaled(p.left, scale), Scaled(p.top, scale));
  label->adjustSize();
}

}  // namespace

TForm1::TForm1(GeometryStore& store, QWidget* parent)
    : QWidget(parent), controller_(store, *this, WindowMessage) {
  setWindowTitle(QStringLiteral("PELMORO"));
  setFont(WindowFont());
  scale_ = pelmoro::LayoutScale(font());
  CreateControls();
  SetUpDialogs();
  PlaceControls();
  setTabOrder(Edit1, Button1);
  setTabOrder(Button1, Button2);
  setTabOrder(Button2, CheckBox1);
  Edit1->setFocus(Qt::OtherFocusReason);
  Edit1->selectAll();
}

TForm1::~TForm1() = default;

void TForm1::CreateControls() {
  // Created in the designed order: later controls lie above earlier ones.
  Label1 = new QLabel(QStringLiteral("mm"), this);
  Label2 = new QLabel(QStringLiteral("STL to HZM converter"), this);
  Label3 = new QLabel(QStringLiteral("Mesh size"), this);
  Label4 = new QLabel(QString::fromUtf8(kNotice), this);
  Edit1 = new QLineEdit(QStringLiteral("0.1"), this);
  Button1 = new QPushButton(QStringLiteral("Convert"), this);
  Button2 = new QPushButton(QStringLiteral("Exit"), this);
  ProgressBar1 = new SegmentedProgressBar(this);
  CheckBox1 = new QCheckBox(QStringLiteral("Surface"), this);
  OpenDialog1 = new QFileDialog(this);
  SaveDialog1 = new QFileDialog(this);

  const QFont large = LargeFont(scale_);
  const QList<QWidget*> large_text = {Label1, Label2, Label3, Button1, Button2, CheckBox1};
  for (QWidget* w : large_text) w->setFont(large);
  Edit1->setMaxLength(std::numeric_limits<int>::max());
  Button1->setDefault(true);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setFocusPolicy(Qt::NoFocus);
  connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
}

void TForm1::SetUpDialogs() {
  // Qt's own dialogs everywhere: the same options on every desktop, no
  // overwrite question, and no extension added to what the user typed.
  const QFileDialog::Options options =
      QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite;
  for (QFileDialog* dialog : {OpenDialog1, SaveDialog1}) {
    dialog->setOptions(options);
    dialog->setFileMode(QFileDialog::AnyFile);  // a missing input fails when read
    dialog->setDefaultSuffix(QString());
    // Before the name filters, which take their case rule from it:
    // "*.stl" lists "PART.STL" too.
    dialog->setFilter(dialog->filter() & ~QDir::CaseSensitive);
  }
  OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
  OpenDialog1->setNameFilter(QStringLiteral("STL (*.stl)"));
  SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
  SaveDialog1->setNameFilter(QStringLiteral("HZM (*.hzm)"));
}

void TForm1::PlaceControls() {
  resize(Scaled(kClientWidth, scale_), Scaled(kClientHeight, scale_));
  move(kWindowLeft, kWindowTop);
  PlaceLabel(Label1, kLabel1, scale_);
  PlaceLabel(Label2, kLabel2, scale_);
  PlaceLabel(Label3, kLabel3, scale_);
  PlaceLabel(Label4, kLabel4, scale_);
  Edit1->setGeometry(ScaledRect(kEdit1, scale_));
  Button1->setGeometry(ScaledRect(kButton1, scale_));
  Button2->setGeometry(ScaledRect(kButton2, scale_));
  ProgressBar1->setGeometry(ScaledRect(kProgressBar1, scale_));
  CheckBox1->setGeometry(ScaledRect(kCheckBox1, scale_));
}

void TForm1::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  const Qt::KeyboardModifiers held =
      event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  if (enter && held == Qt::NoModifier) {
    // The active default button: Button2 while it has the focus, otherwise
    // Button1; a disabled one is never clicked.
    QPushButton* target = Button2->hasFocus() ? Button2 : Button1;
    if (target->isEnabled()) target->click();
    return;
  }
  if (event->key() == Qt::Key_Escape) return;  // the window has no cancel button
  QWidget::keyPressEvent(event);
}

void TForm1::closeEvent(QCloseEvent* event) {
  // During a run the request is recorded only: the run goes on and the
  // program ends after it.
  if (controller_.CloseRequested()) {
    event->accept();
  } else {
    event->ignore();
  }
}

void TForm1::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LocaleChange) SetDecimalSeparator(LocaleDecimalSeparator());
  QWidget::changeEvent(event);
}

}  // namespace pelmoro
