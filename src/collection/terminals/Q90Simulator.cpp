#include "collection/terminals/Q90Simulator.h"
#include "platform/SystemServices.h"

#include <QMutexLocker>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

qint64 monotonicNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void sleepUntilNs(qint64 deadline)
{
    timespec ts{time_t(deadline / 1000000000), long(deadline % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

int memorySizeOf(int capacity) { return capacity >= 4000 ? 0x4000 : 0x2000; }

uint8_t hourMarker(int hour)
{
    return hour < 20 ? Q90::toBcd(80 + hour) : uint8_t(0xA0 + (hour - 20));
}

}  // namespace

Q90Simulator::Q90Simulator()
{
    m_image = QByteArray(memorySizeOf(m_capacity), char(0xFF));
    setTerminalCode(QStringLiteral("0000001234"));
}

Q90Simulator::~Q90Simulator() { stop(); }

QByteArray Q90Simulator::buildImage(const QList<TerminalSimulator::Touch> &touches,
                                    int memorySize, uint16_t firstAddress, int *records)
{
    QByteArray image(memorySize, char(0xFF));
    int position = firstAddress >= Q90::kFirstBlock && firstAddress < memorySize
                       ? firstAddress : Q90::kFirstBlock;
    int free = (memorySize - Q90::kFirstBlock) / 4;
    const auto put = [&](uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
        if (position + 4 > memorySize)
            position = Q90::kFirstBlock;
        image[position] = char(a);
        image[position + 1] = char(b);
        image[position + 2] = char(c);
        image[position + 3] = char(d);
        position += 4;
        --free;
    };
    int written = 0;
    QDate date;
    int hour = -1;
    for (const TerminalSimulator::Touch &t : touches) {
        const bool marker = t.touched.date() != date || t.touched.time().hour() != hour;
        if (free < (marker ? 2 : 1))
            break;
        if (marker) {
            date = t.touched.date();
            hour = t.touched.time().hour();
            put(hourMarker(hour), Q90::toBcd(date.day()), Q90::toBcd(date.month()),
                Q90::toBcd(date.year() % 100));
        }
        const QByteArray id = QByteArray::fromHex(t.code.right(6).rightJustified(6, '0').toLatin1())
                                  .rightJustified(3, '\0', true);
        put(Q90::toBcd(t.touched.time().minute()), uint8_t(id[2]), uint8_t(id[1]), uint8_t(id[0]));
        ++written;
    }
    if (records)
        *records = written;
    return image;
}

void Q90Simulator::load(const QList<TerminalSimulator::Touch> &touches, int capacity,
                        uint16_t firstAddress)
{
    int records = 0;
    const QByteArray image = buildImage(touches, memorySizeOf(capacity), firstAddress, &records);
    QMutexLocker lock(&m_mutex);
    m_capacity = capacity >= 4000 ? 4000 : 2000;
    m_image = image;
    m_records = records;
    m_firstAddress = firstAddress;
}

void Q90Simulator::setImage(const QByteArray &image, int records, uint16_t firstAddress)
{
    QMutexLocker lock(&m_mutex);
    m_capacity = image.size() > 0x2000 ? 4000 : 2000;
    m_image = image.leftJustified(memorySizeOf(m_capacity), char(0xFF), true);
    m_records = records;
    m_firstAddress = firstAddress;
}

void Q90Simulator::setBatteryLow(bool low)
{
    QMutexLocker lock(&m_mutex);
    m_batteryLow = low;
}

void Q90Simulator::setTerminalCode(const QString &code)
{
    const QByteArray bytes = QByteArray::fromHex(code.right(10).rightJustified(10, '0').toLatin1());
    QMutexLocker lock(&m_mutex);
    m_terminalCode.clear();
    for (int i = bytes.size() - 1; i >= 0; --i)
        m_terminalCode.append(bytes[i]);
}

void Q90Simulator::setFaults(const Faults &faults)
{
    QMutexLocker lock(&m_mutex);
    m_faults = faults;
}

void Q90Simulator::setPacing(int baud)
{
    QMutexLocker lock(&m_mutex);
    m_baud = baud;
}

int Q90Simulator::records() const
{
    QMutexLocker lock(&m_mutex);
    return m_records;
}

QByteArray Q90Simulator::image() const
{
    QMutexLocker lock(&m_mutex);
    return m_image;
}

QDateTime Q90Simulator::clock() const
{
    QMutexLocker lock(&m_mutex);
    return SystemServices::now().addSecs(m_clockOffset);
}

void Q90Simulator::setClock(const QDateTime &terminalNow)
{
    QMutexLocker lock(&m_mutex);
    m_clockOffset = SystemServices::now().secsTo(terminalNow);
}

Q90Simulator::Counters Q90Simulator::counters() const
{
    QMutexLocker lock(&m_mutex);
    return m_counters;
}

bool Q90Simulator::start()
{
    if (m_thread)
        return true;
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    char name[128] = {};
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0 ||
        ptsname_r(m_master, name, sizeof name) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        stop();
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    // Holding the slave open keeps the master readable between the program's sessions, and a
    // raw line discipline passes every byte through unchanged.
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    termios raw{};
    if (m_slave < 0 || tcgetattr(m_slave, &raw) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        stop();
        return false;
    }
    cfmakeraw(&raw);
    tcsetattr(m_slave, TCSANOW, &raw);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    if (pipe(m_wake) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        stop();
        return false;
    }
    m_stop = false;
    m_thread.reset(QThread::create([this] { run(); }));
    m_thread->start();
    return true;
}

void Q90Simulator::stop()
{
    if (m_thread) {
        m_stop = true;
        const char wake = 1;
        (void)!::write(m_wake[1], &wake, 1);
        m_thread->wait();
        m_thread.reset();
    }
    for (int *fd : {&m_master, &m_slave, &m_wake[0], &m_wake[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void Q90Simulator::run()
{
    Q90::Receiver receiver(true);
    char buffer[1024];
    while (!m_stop) {
        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (poll(fds, 2, 500) <= 0)
            continue;
        if (fds[1].revents)
            break;
        if (!(fds[0].revents & POLLIN)) {
            if (fds[0].revents)
                usleep(10000);
            continue;
        }
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            continue;
        bool echo;
        {
            QMutexLocker lock(&m_mutex);
            m_counters.bytesIn += n;
            echo = m_faults.echo;
        }
        if (echo)
            writePaced(QByteArray(buffer, int(n)));
        qsizetype offset = 0;
        while (offset < n) {
            qsizetype used = 0;
            const auto result = receiver.feed(buffer + offset, n - offset, &used);
            offset += used;
            if (result == Q90::Receiver::Result::Frame) {
                const QByteArray reply = answer(receiver.payload());
                receiver.reset();
                if (!reply.isEmpty())
                    writePaced(reply);
            } else if (result == Q90::Receiver::Result::Overflow) {
                receiver.reset();
            }
        }
    }
}

QByteArray Q90Simulator::answer(const QByteArray &payload)
{
    const auto request = Q90::parseRequest(payload);
    if (!request)
        return {};
    QMutexLocker lock(&m_mutex);
    ++m_counters.requests;
    if (m_faults.silent != 0) {
        if (m_faults.silent > 0)
            --m_faults.silent;
        return {};
    }
    if (m_faults.garbage) {
        QByteArray noise;
        for (int i = 0; i < 48; ++i)
            noise.append(char(0x20 + (i * 37) % 200));
        return noise;
    }
    const int memorySize = memorySizeOf(m_capacity);
    const uint16_t address = uint16_t((uint8_t(m_terminalCode[1]) << 8) | uint8_t(m_terminalCode[0]));
    QByteArray reply;
    bool status = false;
    if (request->command == 'I' && request->destination == 0 && request->parameter == 0xFF00) {
        status = true;
    } else if (request->command == 'I' && request->destination == 0 && request->parameter == 0x0001) {
        ++m_counters.erases;
        m_image.fill(char(0xFF));
        m_records = 0;
        m_firstAddress = Q90::kFirstBlock;
        status = true;
    } else if (request->command == Q90::kSetClockCommand && request->data.size() >= 6) {
        const auto bcd = [&request](int i) { return Q90::fromBcd(uint8_t(request->data[i])); };
        const QDateTime set(QDate(2000 + bcd(5), bcd(4), bcd(3)), QTime(bcd(2), bcd(1), bcd(0)));
        if (!set.isValid())
            return {};
        m_clockOffset = SystemServices::now().secsTo(set);
        status = true;
    } else if (request->command == 'D' && request->destination == address) {
        ++m_counters.blockReads;
        reply.append('\0');
        for (int i = 0; i < Q90::kBlockSize; ++i) {
            const int at = request->parameter + i;
            reply.append(at < memorySize ? m_image[at] : char(0xFF));
        }
        if (m_faults.shortBlocks.contains(request->parameter))
            reply.truncate(1 + Q90::kBlockSize / 2);
    } else {
        return {};
    }
    if (status) {
        const QDateTime now = SystemServices::now().addSecs(m_clockOffset);
        Q90::StatusFields f;
        f.second = now.time().second();
        f.minute = now.time().minute();
        f.hour = now.time().hour();
        f.day = now.date().day();
        f.month = now.date().month();
        f.year2 = now.date().year() % 100;
        f.modelCode = m_faults.modelCode >= 0 ? uint8_t(m_faults.modelCode)
                                              : Q90::modelCode(m_capacity, m_batteryLow);
        f.records = m_records;
        f.firstAddress = m_firstAddress;
        f.secondAddress = m_firstAddress;
        f.terminalCode = m_terminalCode;
        reply = Q90::encodeStatus(f);
    }
    QByteArray bytes = Q90::frame(reply, false);
    const bool corruptBlock = request->command == 'D' && m_faults.corruptBlocks.remove(request->parameter);
    if (m_faults.corrupt > 0 || corruptBlock) {
        if (!corruptBlock)
            --m_faults.corrupt;
        bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x5A);
    }
    return bytes;
}

void Q90Simulator::writePaced(const QByteArray &bytes)
{
    int baud;
    {
        QMutexLocker lock(&m_mutex);
        baud = m_baud;
        m_counters.bytesOut += bytes.size();
    }
    const auto writeAll = [this](const char *data, qsizetype size) {
        while (size > 0 && !m_stop) {
            const ssize_t n = ::write(m_master, data, size_t(size));
            if (n > 0) {
                data += n;
                size -= n;
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                return;
            } else {
                pollfd out{m_master, POLLOUT, 0};
                poll(&out, 1, 100);
            }
        }
    };
    if (baud <= 0) {
        writeAll(bytes.constData(), bytes.size());
        return;
    }
    const qint64 byteNs = 10LL * 1000000000LL / baud;
    for (char c : bytes) {
        m_lineFreeAt = qMax(monotonicNs(), m_lineFreeAt) + byteNs;
        sleepUntilNs(m_lineFreeAt);
        writeAll(&c, 1);
    }
}
