// The local-socket hand-over between two copies of vzip.
#include "manager/vzip/single_instance.h"

#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <pwd.h>

#include "manager/app/main_controller.h"
#include "platform/ui.h"

namespace vz::vzip {

QString instanceSocketName() {
  QString user;
  if (const passwd* pw = getpwuid(getuid())) user = QString::fromLocal8Bit(pw->pw_name);
  if (user.isEmpty()) user = QString::number(getuid());
  QString name = QString::fromLatin1(manager::kIdleCaption) + QLatin1Char('-') + user;
  name.replace(QStringLiteral(" - "), QStringLiteral("-"));
  name.replace(QLatin1Char(' '), QLatin1Char('_'));
  name.replace(QLatin1Char('/'), QLatin1Char('_'));
  return name;
}

HandOver handToRunningCopy(const QString& path, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(instanceSocketName());
  if (!socket.waitForConnected(timeoutMs)) return HandOver::NoCopy;
  // The first copy says whether its caption reads Idle.
  while (!socket.canReadLine())
    if (!socket.waitForReadyRead(timeoutMs)) return HandOver::NoCopy;
  if (socket.readLine().trimmed() != "IDLE") return HandOver::NoCopy;
  if (path.isEmpty()) return HandOver::Declined;
  const int answer = vz::ui::messageBox(
      "There is a copy of Vemora.Zip already loaded that is not busy.\n\nWould you like to open this archive with it "
      "instead?",
      manager::kAppTitle, vz::ui::MB_YESNO | vz::ui::MB_ICONQUESTION);
  if (answer != vz::ui::IDYES) return HandOver::Declined;
  socket.write("OPEN " + path.toUtf8() + "\n");
  socket.flush();
  while (socket.bytesToWrite() > 0)
    if (!socket.waitForBytesWritten(timeoutMs)) return HandOver::Declined;
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
  return HandOver::HandedOver;
}

InstanceServer::InstanceServer(std::function<bool()> isBusy, QObject* parent)
    : QObject(parent), server_(new QLocalServer(this)), isBusy_(std::move(isBusy)) {
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &InstanceServer::onConnection);
}

bool InstanceServer::listen() {
  const QString name = instanceSocketName();
  if (server_->listen(name)) return true;
  // Nobody answered on it (handToRunningCopy ran first): a dead copy's socket.
  QLocalServer::removeServer(name);
  return server_->listen(name);
}

bool InstanceServer::isListening() const { return server_->isListening(); }

void InstanceServer::onConnection() {
  while (QLocalSocket* s = server_->nextPendingConnection()) {
    connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
    s->write(isBusy_ && isBusy_() ? "BUSY\n" : "IDLE\n");
    s->flush();
    connect(s, &QLocalSocket::readyRead, this, [this, s] {
      QStringList paths;
      while (s->canReadLine()) {
        const QByteArray line = s->readLine();
        if (line.startsWith("OPEN ")) paths << QString::fromUtf8(line.mid(5).chopped(1));
      }
      // Opened from the event loop, not inside the socket's handler: the
      // listing pumps events, which may delete the socket meanwhile.
      for (const QString& p : paths) QTimer::singleShot(0, this, [this, p] { emit pathReceived(p); });
    });
  }
}

}  // namespace vz::vzip
