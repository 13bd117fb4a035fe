// SIGTERM, SIGHUP and SIGINT end the window as closing it does, instead of
// killing the program in the middle of a run: the handler only writes to a
// pipe, and the event loop hears of it there.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace pelmoro {

class TerminationSignals : public QObject {
  Q_OBJECT

 public:
  // Installs the handlers (leaving a signal alone that the caller set to be
  // ignored). One object per program.
  explicit TerminationSignals(QObject* parent = nullptr);

 signals:
  // One of the signals arrived (once per batch of arrivals).
  void arrived();

 private:
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace pelmoro
