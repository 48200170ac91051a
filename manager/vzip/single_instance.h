// The one running copy of vzip per user: the first copy listens on a local
// socket named after the idle caption and the user ("Vemora.Zip - Idle"
// becomes "Vemora.Zip-Idle-<user>", in the folder Qt keeps local sockets
// in); a second copy connects to it.
//
// Protocol, one line each way: on a connection the first copy writes
// "IDLE\n" or "BUSY\n" (its caption); a second copy that was given a path
// and found it idle asks "There is a copy of Vemora.Zip already loaded that
// is not busy." + blank line + "Would you like to open this archive with it
// instead?" and on Yes writes "OPEN <path>\n", waits until it is sent, and
// ends. The first copy hands the path to its window, which restores,
// activates and opens it. A busy first copy counts as none (the copy
// starts its own window, without the socket).
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;

namespace vz::vzip {

// The socket's name for the current user.
QString instanceSocketName();

// What the second copy found and did.
enum class HandOver { NoCopy, Declined, HandedOver };

// The second copy's side: looks for an idle first copy and, when a path
// was given, asks and hands it over. NoCopy: no copy answered, or it was
// busy (this copy then owns the socket); Declined: an idle copy runs but
// no path was handed (none given, or the user said No).
HandOver handToRunningCopy(const QString& path, int timeoutMs = 1500);

// The first copy's side.
class InstanceServer : public QObject {
  Q_OBJECT
 public:
  // isBusy tells the caption's state when a second copy asks.
  explicit InstanceServer(std::function<bool()> isBusy, QObject* parent = nullptr);
  // Starts listening (a stale socket of a dead copy is removed first).
  bool listen();
  bool isListening() const;

 signals:
  void pathReceived(const QString& path);

 private:
  void onConnection();

  QLocalServer* server_;          // the listening socket
  std::function<bool()> isBusy_;  // the window's Busy state
};

}  // namespace vz::vzip
