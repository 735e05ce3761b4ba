#include "config/boundedlog.h"

namespace tavrel {

void BoundedLog::append(const QString& line)
{
    if (m_lines.size() >= std::size_t(m_capacity)) {
        m_lines.pop_front();
        ++m_dropped;
    }
    m_lines.push_back(line);
}

QStringList BoundedLog::lines() const
{
    QStringList out;
    out.reserve(qsizetype(m_lines.size()));
    for (const QString& line : m_lines)
        out << line;
    return out;
}

}  // namespace tavrel
