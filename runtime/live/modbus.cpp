#include "runtime/live/modbus.h"

#include "runtime/live/modbusmap.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QModbusReply>
#include <QModbusTcpClient>
#include <QThread>
#include <QTimer>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <utility>

namespace kestro::live {

namespace {

int millis(double seconds, int fallback, int least, int most) {
    if (!std::isfinite(seconds)) {
        return fallback;
    }
    return int(std::clamp(std::round(seconds * 1000.0), double(least), double(most)));
}

QModbusDataUnit::RegisterType registerType(ModbusTable table) {
    switch (table) {
    case ModbusTable::Holding:
        return QModbusDataUnit::HoldingRegisters;
    case ModbusTable::Input:
        return QModbusDataUnit::InputRegisters;
    case ModbusTable::Coil:
        return QModbusDataUnit::Coils;
    case ModbusTable::Discrete:
        return QModbusDataUnit::DiscreteInputs;
    }
    return QModbusDataUnit::Invalid;
}

//! Why a finished request failed.
std::string replyFailure(QModbusReply* reply) {
    switch (reply->error()) {
    case QModbusDevice::TimeoutError:
        return "timeout";
    case QModbusDevice::ProtocolError: {
        // The exception code is the reply's first byte. QModbusPdu::exceptionCode() would read
        // the function code through an enum that cannot hold it with the exception bit set.
        const QByteArray data = reply->rawResult().data();
        return data.isEmpty() ? std::string("exception")
                              : modbusExceptionText(int(quint8(data.at(0))));
    }
    case QModbusDevice::ReplyAbortedError:
        return "connection lost";
    default:
        return reply->errorString().toStdString();
    }
}

} // namespace

//! Everything that touches the network, living on the connection's thread.
class ModbusWorker : public QObject {
public:
    ModbusWorker(int index, const ConnectionDef& def, const std::vector<ServedTag>& tags,
                 Inbox* inbox, std::atomic<bool>* connected)
        : m_index(index), m_def(def), m_plan(planModbusReads(tags)), m_inbox(inbox),
          m_connected(connected), m_pollMs(millis(def.poll, 250, 10, 86400000)),
          m_timeoutMs(millis(def.timeout, 1000, 10, 3600000)) {}

    void begin();
    void shutdown();
    void send(int tag, const std::string& name, const ModbusWrite& write);

private:
    void stateChanged(QModbusDevice::State state);
    void connectNow();
    void lost();
    void poll();
    void readDone(const ModbusRead& read, QModbusReply* reply);
    void requestDone();
    void post(LiveEvent::Kind kind, int tag, std::string reason, double number = 0.0);
    std::string prefixed(const std::string& text) const { return m_def.name + ": " + text; }

    const int m_index;
    const ConnectionDef m_def;
    const ModbusReadPlan m_plan;
    Inbox* const m_inbox;
    std::atomic<bool>* const m_connected;
    const int m_pollMs;
    const int m_timeoutMs;
    QModbusTcpClient* m_client = nullptr;
    QTimer* m_pollTimer = nullptr;
    QTimer* m_retryTimer = nullptr;
    QTimer* m_connectTimer = nullptr;
    Backoff m_backoff;
    bool m_stopping = false;
    bool m_toldDown = false;   // a Disconnected was posted since the last Connected
    std::string m_lastError;   // the client's last error since the attempt to connect began
    unsigned m_generation = 0; // a connection's replies are ignored once it is gone
    int m_outstanding = 0;     // requests of the current poll still waiting for their reply
    int m_writing = 0;         // writes sent and not answered yet
    QEventLoop* m_writesDone = nullptr; // shutdown's wait for them
    QElapsedTimer m_pollStart;
};

void ModbusWorker::begin() {
    m_client = new QModbusTcpClient(this);
    m_client->setConnectionParameter(QModbusDevice::NetworkAddressParameter,
                                     QString::fromStdString(m_def.host));
    m_client->setConnectionParameter(QModbusDevice::NetworkPortParameter,
                                     m_def.port > 0 ? m_def.port : 502);
    m_client->setTimeout(m_timeoutMs);
    m_client->setNumberOfRetries(0);
    QObject::connect(m_client, &QModbusDevice::errorOccurred, this,
                     [this](QModbusDevice::Error error) {
                         if (error == QModbusDevice::ConnectionError) {
                             m_lastError = m_client->errorString().toStdString();
                         }
                     });
    QObject::connect(m_client, &QModbusDevice::stateChanged, this,
                     [this](QModbusDevice::State state) { stateChanged(state); });

    m_pollTimer = new QTimer(this);
    m_pollTimer->setSingleShot(true);
    QObject::connect(m_pollTimer, &QTimer::timeout, this, [this] { poll(); });
    m_retryTimer = new QTimer(this);
    m_retryTimer->setSingleShot(true);
    QObject::connect(m_retryTimer, &QTimer::timeout, this, [this] { connectNow(); });
    m_connectTimer = new QTimer(this);
    m_connectTimer->setSingleShot(true);
    QObject::connect(m_connectTimer, &QTimer::timeout, this, [this] {
        m_lastError = "no connection within the timeout";
        m_client->disconnectDevice();
    });
    connectNow();
}

void ModbusWorker::stateChanged(QModbusDevice::State state) {
    if (state == QModbusDevice::ConnectedState) {
        m_connectTimer->stop();
        m_backoff.reset();
        m_toldDown = false;
        m_connected->store(true);
        post(LiveEvent::Kind::Connected, -1, "");
        for (const ServedTag& tag : m_plan.outOfRange) {
            post(LiveEvent::Kind::Bad, tag.index, tag.def->name + ": address out of range");
        }
        poll();
    } else if (state == QModbusDevice::UnconnectedState) {
        ++m_generation;
        m_connected->store(false);
        // The client names the error only after it changes state.
        QMetaObject::invokeMethod(
            this, [this] { lost(); }, Qt::QueuedConnection);
    }
}

void ModbusWorker::shutdown() {
    // A write the operator was told went out must reach the wire before the socket closes:
    // its answer is waited for, the request's timeout at most.
    if (m_client && m_writing > 0) {
        QEventLoop answered;
        QTimer::singleShot(m_timeoutMs, &answered, &QEventLoop::quit);
        m_writesDone = &answered;
        answered.exec();
        m_writesDone = nullptr;
    }
    m_stopping = true;
    delete m_client; // and its replies, without their finished signals
    m_client = nullptr;
    delete m_pollTimer;
    delete m_retryTimer;
    delete m_connectTimer;
    m_pollTimer = m_retryTimer = m_connectTimer = nullptr;
    m_connected->store(false);
}

void ModbusWorker::connectNow() {
    m_lastError.clear();
    // However short the requests' timeout, a connection is given a second to come up.
    m_connectTimer->start(std::max(m_timeoutMs, 1000));
    if (!m_client->connectDevice() && m_client->state() == QModbusDevice::UnconnectedState) {
        QMetaObject::invokeMethod(
            this, [this] { lost(); }, Qt::QueuedConnection);
    }
}

void ModbusWorker::lost() {
    if (m_stopping || m_client->state() != QModbusDevice::UnconnectedState ||
        m_retryTimer->isActive()) {
        return;
    }
    m_connectTimer->stop();
    m_pollTimer->stop();
    m_outstanding = 0;
    // Once down, attempts that fail again say nothing more.
    if (!m_toldDown) {
        const std::string why = m_lastError.empty() ? "connection closed" : m_lastError;
        post(LiveEvent::Kind::Disconnected, -1, prefixed(why));
        m_toldDown = true;
    }
    m_retryTimer->start(m_backoff.next());
}

void ModbusWorker::poll() {
    if (m_stopping || m_client->state() != QModbusDevice::ConnectedState || m_outstanding > 0) {
        return;
    }
    m_pollStart.start();
    m_outstanding = int(m_plan.reads.size()) + 1; // held until every request is sent
    const unsigned generation = m_generation;
    for (const ModbusRead& read : m_plan.reads) {
        QModbusReply* reply = m_client->sendReadRequest(
            QModbusDataUnit(registerType(read.table), read.address, quint16(read.count)),
            m_def.unit);
        if (generation != m_generation) {
            return; // the connection went while sending
        }
        if (!reply) {
            readDone(read, nullptr);
        } else if (reply->isFinished()) {
            readDone(read, reply);
            reply->deleteLater();
        } else {
            QObject::connect(reply, &QModbusReply::finished, this,
                             [this, &read, reply, generation] {
                                 reply->deleteLater();
                                 if (generation == m_generation) {
                                     readDone(read, reply);
                                 }
                             });
        }
    }
    requestDone();
}

void ModbusWorker::readDone(const ModbusRead& read, QModbusReply* reply) {
    if (reply && reply->error() == QModbusDevice::NoError) {
        const QList<quint16> values = reply->result().values();
        const std::vector<uint16_t> data(values.begin(), values.end());
        for (const ServedTag& tag : read.tags) {
            double number = 0.0;
            std::string why;
            if (decodeModbusValue(tag.def->source, read.address, data, &number, &why)) {
                post(LiveEvent::Kind::Value, tag.index, "", number);
            } else {
                post(LiveEvent::Kind::Bad, tag.index, tag.def->name + ": " + why);
            }
        }
    } else if (!reply || reply->error() != QModbusDevice::ReplyAbortedError) {
        // An aborted reply means the connection is gone: Disconnected says so.
        const std::string what =
            std::string("reading ") + modbusTableName(read.table) + " " +
            std::to_string(read.address) +
            (read.count > 1 ? "-" + std::to_string(read.address + read.count - 1) : "") + ": " +
            (reply ? replyFailure(reply) : m_client->errorString().toStdString());
        post(LiveEvent::Kind::Error, -1, prefixed(what));
        for (const ServedTag& tag : read.tags) {
            post(LiveEvent::Kind::Bad, tag.index, prefixed(what));
        }
    }
    requestDone();
}

void ModbusWorker::requestDone() {
    if (--m_outstanding > 0) {
        return;
    }
    // Polls start every m_pollMs, or as soon as the last one ends when it took longer.
    m_pollTimer->start(int(std::max<qint64>(0, m_pollMs - m_pollStart.elapsed())));
}

void ModbusWorker::send(int tag, const std::string& name, const ModbusWrite& write) {
    if (m_stopping) {
        return;
    }
    if (m_client->state() != QModbusDevice::ConnectedState) {
        post(LiveEvent::Kind::WriteFailed, tag, prefixed("not connected"));
        return;
    }
    const std::vector<uint8_t> data = modbusWriteData(write);
    QModbusReply* reply = m_client->sendRawRequest(
        QModbusRequest(QModbusPdu::FunctionCode(write.function),
                       QByteArray(reinterpret_cast<const char*>(data.data()), int(data.size()))),
        m_def.unit);
    ++m_writing;
    auto done = [this, tag, name](QModbusReply* reply) {
        if (--m_writing == 0 && m_writesDone) {
            m_writesDone->quit();
        }
        if (!reply || reply->error() != QModbusDevice::NoError) {
            const std::string why =
                reply ? replyFailure(reply) : m_client->errorString().toStdString();
            post(LiveEvent::Kind::WriteFailed, tag, name + ": write failed: " + why);
        }
    };
    if (!reply || reply->isFinished()) {
        done(reply);
        if (reply) {
            reply->deleteLater();
        }
        return;
    }
    QObject::connect(reply, &QModbusReply::finished, this, [done, reply] {
        reply->deleteLater();
        done(reply);
    });
}

void ModbusWorker::post(LiveEvent::Kind kind, int tag, std::string reason, double number) {
    if (m_stopping) {
        return;
    }
    LiveEvent event;
    event.kind = kind;
    event.connection = m_index;
    event.tag = tag;
    event.number = number;
    event.reason = std::move(reason);
    m_inbox->post(std::move(event));
}

ModbusConnection::ModbusConnection(int index, ConnectionDef def, std::vector<ServedTag> tags,
                                   Inbox* inbox)
    : m_index(index), m_def(std::move(def)), m_tags(std::move(tags)), m_inbox(inbox) {}

ModbusConnection::~ModbusConnection() {
    stop();
}

void ModbusConnection::start() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_thread) {
        return;
    }
    m_thread = std::make_unique<QThread>();
    m_worker = new ModbusWorker(m_index, m_def, m_tags, m_inbox, &m_connected);
    m_worker->moveToThread(m_thread.get());
    m_thread->start();
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker] { worker->begin(); }, Qt::QueuedConnection);
}

void ModbusConnection::stop() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_thread) {
        return;
    }
    // The worker is deleted on its own thread, as the thread finishes.
    QMetaObject::invokeMethod(
        m_worker,
        [worker = m_worker] {
            worker->shutdown();
            worker->deleteLater();
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    m_thread->wait();
    m_thread.reset();
    m_worker = nullptr;
    m_connected.store(false);
}

bool ModbusConnection::write(int tag, const WriteValue& value, std::string* reason) {
    auto refuse = [reason](std::string why) {
        if (reason) {
            *reason = std::move(why);
        }
        return false;
    };
    const auto served = std::find_if(m_tags.begin(), m_tags.end(),
                                     [tag](const ServedTag& each) { return each.index == tag; });
    if (served == m_tags.end()) {
        return refuse(m_def.name + ": tag " + std::to_string(tag) + " is not one of its tags");
    }
    const TagDef& def = *served->def;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_worker || !m_connected.load()) {
        return refuse(m_def.name + ": not connected");
    }
    if (!def.source.writable || def.source.table == ModbusTable::Input ||
        def.source.table == ModbusTable::Discrete) {
        return refuse(def.name + ": read-only");
    }
    if (value.isText) {
        return refuse(def.name + ": a Modbus tag holds a number, not a text");
    }
    ModbusWrite request;
    std::string why;
    if (!encodeModbusWrite(def.source, value.number, &request, &why)) {
        return refuse(def.name + ": " + why);
    }
    QMetaObject::invokeMethod(
        m_worker,
        [worker = m_worker, tag, name = def.name, request] { worker->send(tag, name, request); },
        Qt::QueuedConnection);
    return true;
}

} // namespace kestro::live
