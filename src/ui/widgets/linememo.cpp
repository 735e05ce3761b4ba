#include "ui/widgets/linememo.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QWheelEvent>

namespace tavrel::ui {

LineMemo::LineMemo(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setUndoRedoEnabled(false);
}

QStringList LineMemo::splitLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines << text.mid(start, i - start);
        if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines << text.mid(start);
    return lines;
}

void LineMemo::setText(const QString& text)
{
    m_lines = splitLines(text);
    setPlainText(m_lines.join(QLatin1Char('\n')));
}

void LineMemo::appendLine(const QString& text)
{
    QStringList pieces = splitLines(text);
    if (pieces.isEmpty())
        pieces << QString();
    appendLines(pieces);
}

void LineMemo::replaceLastLine(const QString& text)
{
    QStringList pieces = splitLines(text);
    if (pieces.isEmpty())
        pieces << QString();
    if (m_lines.isEmpty()) {
        appendLines(pieces);
        return;
    }
    m_lines.last() = pieces.takeFirst();
    QTextCursor cursor(document()->lastBlock());
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(m_lines.last());
    if (!pieces.isEmpty())
        appendLines(pieces);
    else
        scrollToLastLine();
}

void LineMemo::appendLines(const QStringList& lines)
{
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    for (const QString& line : lines) {
        // The document always holds one block; the first line of an empty memo goes there.
        if (!m_lines.isEmpty())
            cursor.insertBlock();
        cursor.insertText(line);
        m_lines << line;
    }
    scrollToLastLine();
}

void LineMemo::scrollToLastLine()
{
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void LineMemo::wheelEvent(QWheelEvent* event)
{
    if (m_wheelScrolling)
        QPlainTextEdit::wheelEvent(event);
    else
        event->ignore();
}

}  // namespace tavrel::ui
