#include "session/keyinput.h"

#include "platform/hidudevinfo.h"
#include "platform/inputeventreader.h"
#include "platform/inputnodes.h"
#include "session/sessionlog.h"

#include <QPointer>
#include <algorithm>
#include <cerrno>
#include <utility>

namespace tavrel {

namespace {

// The bus number the kernel gives USB devices (BUS_USB).
constexpr quint16 UsbBus = 0x03;

}  // namespace

KeyInput::KeyInput(std::shared_ptr<platform::UdevContext> udev, QString syspath, int pollPeriodMs, QObject* parent)
    : QObject(parent), m_udev(std::move(udev)), m_syspath(std::move(syspath)), m_pollPeriod(pollPeriodMs)
{
    m_sources.resize(InputDecoder::MaxSources);
    refind();
}

KeyInput::~KeyInput() = default;

QStringList KeyInput::nodes() const
{
    QStringList open;
    for (const Source& s : m_sources)
        if (s.reader)
            open << s.reader->devnode();
    return open;
}

void KeyInput::drop(int source)
{
    Source& s = m_sources[std::size_t(source)];
    // The node is let go now; the reader may be the one whose signal brought us here.
    if (s.reader) {
        s.reader->close();
        s.reader.release()->deleteLater();
    }
    s.syspath.clear();
    m_decoder.forget(source);
}

void KeyInput::stop()
{
    for (int i = 0; i < int(m_sources.size()); ++i)
        drop(i);
}

void KeyInput::refind()
{
    if (!m_udev)
        return;
    const auto found = platform::inputNodesBeside(*m_udev, m_syspath);
    const auto identity = platform::udevIdentity(*m_udev, m_syspath);
    if (!found || !identity)
        return;
    for (int i = 0; i < int(m_sources.size()); ++i) {
        const QString& path = m_sources[std::size_t(i)].syspath;
        if (!path.isEmpty() && std::none_of(found->begin(), found->end(), [&path](const platform::InputNode& n) {
                return n.syspath == path;
            }))
            drop(i);
    }
    bool anyUnopened = false;
    m_openError.clear();
    m_openDenied = false;
    for (const platform::InputNode& node : *found) {
        const bool held = std::any_of(m_sources.begin(), m_sources.end(),
                                      [&node](const Source& s) { return s.reader && s.syspath == node.syspath; });
        if (held)
            continue;
        const auto free = std::find_if(m_sources.begin(), m_sources.end(), [](const Source& s) { return !s.reader; });
        if (free == m_sources.end())
            break;
        auto reader = std::make_unique<platform::InputEventReader>(node.devnode, m_pollPeriod);
        // What is read must be this device's own interface: a node taken by another device since
        // udev listed it, or one that says it is another device, is let go of at once.
        if (reader->isOpen() && !reader->isDevice(node.deviceNumber, UsbBus, identity->vendorId, identity->productId)) {
            qCWarning(lcKeyInput, "%s", qUtf8Printable(reader->error()));
            continue;
        }
        if (!reader->isOpen()) {
            if (!std::exchange(anyUnopened, true)) {
                m_openError = reader->error();
                m_openDenied = reader->errorCode() == EACCES || reader->errorCode() == EPERM;
            }
            continue;
        }
        const int source = int(free - m_sources.begin());
        connect(reader.get(), &platform::InputEventReader::received, this,
                [this, source](const InputEvent& event, qint64 timeMs) {
                    for (const InputChange& change : m_decoder.take(source, event, timeMs)) {
                        const QPointer<KeyInput> alive(this);
                        emit received(change);
                        if (!alive)
                            return;
                    }
                });
        // A node that failed has gone, as a rule; the next look finds it again if it has not.
        connect(reader.get(), &platform::InputEventReader::failed, this, [this, source] { drop(source); });
        *free = Source{std::move(reader), node.syspath};
    }
}

}  // namespace tavrel
