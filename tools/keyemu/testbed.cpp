#include "keyemu/testbed.h"

#include "keyemu/eventnode.h"
#include "keyemu/hidrawnode.h"
#include "keyemu/keystate.h"

#include <umockdev.h>

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace tavrel::emu {

namespace {

std::atomic<bool> testbedExists{false};

bool underUmockdevWrapper()
{
    const char* preload = std::getenv("LD_PRELOAD");
    return preload && std::strstr(preload, "libumockdev-preload");
}

bool hasControlCharacters(const QString& text)
{
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control)
            return true;
    return false;
}

}  // namespace

Testbed::Testbed()
{
    if (!underUmockdevWrapper())
        throw std::runtime_error("emulated keys need the umockdev preload: run under umockdev-wrapper");
    if (testbedExists.exchange(true))
        throw std::runtime_error("only one testbed per process");
    m_testbed = umockdev_testbed_new();
}

Testbed::~Testbed()
{
    for (const auto& key : m_keys) {
        key->m_inputs.clear();
        key->m_node.reset();
    }
    g_object_unref(m_testbed);
    testbedExists = false;
}

EmulatedDevice& Testbed::add(const KeyModel& model)
{
    KeyModel m = model;
    if (m.name.isEmpty()) {
        for (int n = int(m_keys.size()) + 1; m.name.isEmpty() || find(m.name); ++n)
            m.name = QStringLiteral("key%1").arg(n);
    }
    if (find(m.name))
        throw std::invalid_argument("a key named " + m.name.toStdString() + " exists already");
    if (m.serial.isEmpty()) {
        m.serial = QStringLiteral("%1%2")
                       .arg(m.wireless ? QStringLiteral("3114") : QStringLiteral("3100"))
                       .arg(++m_defaultSerials, 8, 10, QLatin1Char('0'));
    }
    if (m.product.isEmpty())
        m.product = m.wireless ? QStringLiteral("Programmable Key Receiver") : QStringLiteral("Programmable Key");
    if (hasControlCharacters(m.name) || hasControlCharacters(m.serial) || hasControlCharacters(m.product))
        throw std::invalid_argument("name, serial and product must be single-line text");
    if (m.keys < 0 || m.keys > 15)
        throw std::invalid_argument("a key reports 0 to 15 keys");
    if (m.reportDescriptor.isEmpty())
        m.reportDescriptor = defaultReportDescriptor();

    auto state = std::make_shared<KeyState>(m, m.reportDescriptor);
    m_keys.push_back(std::unique_ptr<EmulatedDevice>(new EmulatedDevice(state, int(m_keys.size()) + 1)));
    EmulatedDevice& key = *m_keys.back();
    try {
        plug(key);
    } catch (...) {
        m_keys.pop_back();
        throw;
    }
    return key;
}

void Testbed::unplug(EmulatedDevice& key)
{
    if (!key.m_node)
        return;
    // The interfaces go before the USB device they belong to.
    key.m_inputs.clear();
    key.m_node.reset();
    std::lock_guard lock(key.m_state->mutex);
    key.m_state->firmware.powerCycle();
}

void Testbed::plug(EmulatedDevice& key)
{
    if (key.m_node)
        return;
    NodeLayout layout;
    layout.port = key.m_port;
    // umockdev cannot create a node again under a name it has removed, so every plug gets a
    // new hidrawN; USB device numbers wrap as the kernel's do.
    layout.minor = m_nextMinor++;
    layout.hidSequence = m_nextHidSequence++;
    layout.devnum = m_nextDevnum;
    m_nextDevnum = m_nextDevnum >= 127 ? 2 : m_nextDevnum + 1;
    key.m_node = std::make_unique<HidrawNode>(m_testbed, key.m_state, layout);
    try {
        for (const int interface : {KeyboardInterface, MouseInterface}) {
            EventLayout input;
            input.port = key.m_port;
            input.hidSequence = m_nextHidSequence++;
            input.inputNumber = m_nextInput++;
            input.eventMinor = m_nextEvent++;
            key.m_inputs.push_back(std::make_unique<EventNode>(m_testbed, key.m_state->model, interface, input));
        }
    } catch (...) {
        key.m_inputs.clear();
        key.m_node.reset();
        throw;
    }
}

EmulatedDevice* Testbed::find(const QString& name) const
{
    for (const auto& key : m_keys)
        if (key->name() == name)
            return key.get();
    return nullptr;
}

std::vector<EmulatedDevice*> Testbed::devices() const
{
    std::vector<EmulatedDevice*> all;
    for (const auto& key : m_keys)
        all.push_back(key.get());
    return all;
}

void Testbed::addDescribed(const QString& description)
{
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(m_testbed, description.toUtf8().constData(), &error)) {
        const std::string message = error ? error->message : "unknown error";
        if (error)
            g_error_free(error);
        throw std::runtime_error("cannot add the described devices: " + message);
    }
}

void Testbed::removeDescribed(const QString& syspath)
{
    // umockdev removes one device at a time: the deepest go first, each with its node and record.
    const QString root = rootDir();
    QStringList devices{syspath};
    QDirIterator below(root + syspath, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (below.hasNext()) {
        const QString dir = below.next();
        if (QFileInfo::exists(dir + QStringLiteral("/uevent")))
            devices << dir.mid(root.size());
    }
    std::sort(devices.begin(), devices.end(),
              [](const QString& a, const QString& b) { return a.count(u'/') > b.count(u'/'); });
    for (const QString& device : devices)
        umockdev_testbed_remove_device(m_testbed, device.toUtf8().constData());
}

QString Testbed::rootDir() const
{
    gchar* dir = umockdev_testbed_get_root_dir(m_testbed);
    const QString root = QString::fromUtf8(dir);
    g_free(dir);
    return root;
}

}  // namespace tavrel::emu
