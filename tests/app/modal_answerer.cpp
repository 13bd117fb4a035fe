#include "tests/app/modal_answerer.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QShowEvent>
#include <QTest>
#include <QTimer>

namespace pelmoro::testing {
namespace {

SeenModal Describe(QWidget* window) {
  SeenModal seen;
  seen.title = window->windowTitle();
  seen.frame = window->frameGeometry();
  if (auto* box = qobject_cast<QMessageBox*>(window)) {
    seen.kind = SeenModal::kMessageBox;
    seen.text = box->text();
    seen.icon = box->icon();
    seen.buttons = static_cast<int>(box->buttons().size());
  } else if (auto* dialog = qobject_cast<QFileDialog*>(window)) {
    seen.kind = dialog->acceptMode() == QFileDialog::AcceptOpen ? SeenModal::kOpenDialog
                                                                : SeenModal::kSaveDialog;
    seen.proposed = dialog->selectedFiles().value(0);
    if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
      seen.proposed_name = edit->text();
    }
    seen.filters = dialog->nameFilters();
  }
  return seen;
}

}  // namespace

ModalAnswerer::ModalAnswerer() { qApp->installEventFilter(this); }

ModalAnswerer::~ModalAnswerer() { qApp->removeEventFilter(this); }

void ModalAnswerer::AcceptName(const QString& name, std::function<void(QWidget*)> before) {
  answers_.push_back({ModalAnswer::kAcceptName, name, std::move(before)});
}
void ModalAnswerer::Cancel(std::function<void(QWidget*)> before) {
  answers_.push_back({ModalAnswer::kCancel, {}, std::move(before)});
}
void ModalAnswerer::PressEnter(std::function<void(QWidget*)> before) {
  answers_.push_back({ModalAnswer::kEnter, {}, std::move(before)});
}
void ModalAnswerer::PressEscape(std::function<void(QWidget*)> before) {
  answers_.push_back({ModalAnswer::kEscape, {}, std::move(before)});
}

std::vector<SeenModal::Kind> ModalAnswerer::Kinds() const {
  std::vector<SeenModal::Kind> kinds;
  for (const SeenModal& s : seen_) kinds.push_back(s.kind);
  return kinds;
}

bool ModalAnswerer::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && watched->isWidgetType()) {
    auto* window = static_cast<QWidget*>(watched);
    if (window->isWindow() && qobject_cast<QDialog*>(window) != nullptr && window->isModal()) {
      seen_.push_back(Describe(window));
      const std::size_t index = seen_.size() - 1;
      QPointer<QWidget> guarded(window);
      // Queued: runs inside the window's own modal loop.
      QTimer::singleShot(0, this, [this, guarded, index] { Answer(guarded, index); });
    }
  }
  return QObject::eventFilter(watched, event);
}

void ModalAnswerer::Answer(QPointer<QWidget> window, std::size_t index) {
  if (window.isNull() || !window->isVisible()) {
    seen_[index].closed_by_itself = true;
    return;
  }
  seen_[index].frame = window->frameGeometry();  // final place, once shown
  if (answers_.empty()) {
    ++unanswered_;
    QTest::keyClick(window, Qt::Key_Escape);
    if (!window.isNull() && window->isVisible()) static_cast<QDialog*>(window.data())->reject();
    return;
  }
  ModalAnswer answer = std::move(answers_.front());
  answers_.pop_front();
  seen_[index].answered = true;
  if (answer.before) answer.before(window);
  switch (answer.action) {
    case ModalAnswer::kAcceptName: {
      auto* edit = window->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      if (edit == nullptr) {
        ++unanswered_;
        static_cast<QDialog*>(window.data())->reject();
        return;
      }
      edit->setFocus();
      edit->setText(answer.name);
      QTest::keyClick(edit, Qt::Key_Return);
      break;
    }
    case ModalAnswer::kCancel:
    case ModalAnswer::kEscape:
      QTest::keyClick(window, Qt::Key_Escape);
      break;
    case ModalAnswer::kEnter:
      QTest::keyClick(window, Qt::Key_Return);
      break;
  }
}

}  // namespace pelmoro::testing
