#include "tests/app/run_harness.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "tests/app/test_models.h"

namespace pelmoro::testing {

RunHarness::RunHarness() : form_(new InstrumentedForm(store_)) {
  form_->show();
  form_->activateWindow();
  // Keyboard tests need the window active; the others do not mind.
  (void)QTest::qWaitForWindowActive(form_);
}

RunHarness::~RunHarness() { delete form_; }

QString RunHarness::Write(const QString& name, const QByteArray& bytes) const {
  return WriteFile(Path(name), bytes);
}

QStringList RunHarness::Files() const {
  return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

void RunHarness::ClickConvert(const QString& pitch) {
  form_->Edit1->setText(pitch);
  form_->passes = 0;
  QTest::mouseClick(form_->Button1, Qt::LeftButton);
}

void RunHarness::Convert(ModalAnswerer& answerer, const QString& input, const QString& output,
                         const QString& pitch) {
  answerer.AcceptName(input);
  answerer.AcceptName(output);
  answerer.PressEnter();
  ClickConvert(pitch);
}

QByteArray RunHarness::Reference(const QString& input, const QString& pitch, bool surface) {
  const QString out = dir_.filePath(QStringLiteral("reference-%1.out").arg(++references_));
  if (RunStl2hzm(input, out, pitch, surface) != 0) return {};
  const QByteArray bytes = ReadFile(out);
  QFile::remove(out);
  return bytes;
}

bool RunHarness::Idle() const {
  return form_->Button1->isEnabled() && form_->Button2->text() == QLatin1String("Exit") &&
         form_->ProgressBar1->value() == 0;
}

}  // namespace pelmoro::testing
