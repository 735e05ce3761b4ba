#pragma once
// A read-only text of whole lines. A carriage return, a line feed and the pair CR LF each end
// one line, so "a\n\rb" holds the three lines "a", "" and "b"; text after the last line end is
// a line of its own, an empty rest is not.
// Change the text through the functions below only: QPlainTextEdit's own setters would leave
// the line list behind.

#include <QPlainTextEdit>
#include <QStringList>

namespace tavrel::ui {

class LineMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit LineMemo(QWidget* parent = nullptr);

    // Splits text by the rule above.
    static QStringList splitLines(const QString& text);

    // Replaces every line.
    void setText(const QString& text);
    // The lines joined with "\n".
    QString text() const { return m_lines.join(QLatin1Char('\n')); }

    int lineCount() const { return int(m_lines.size()); }
    // "" for an index outside the lines.
    QString line(int index) const { return m_lines.value(index); }
    QStringList lines() const { return m_lines; }

    // Line ends inside the given text start further lines. On an empty memo both append.
    void replaceLastLine(const QString& text);
    void appendLine(const QString& text);

    void setWheelScrolling(bool enabled) { m_wheelScrolling = enabled; }
    bool wheelScrolling() const { return m_wheelScrolling; }

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    void appendLines(const QStringList& lines);
    void scrollToLastLine();

    QStringList m_lines;
    bool m_wheelScrolling = true;
};

}  // namespace tavrel::ui
