#pragma once

#include <QApplication>
#include <QFont>

// Sets the application's font for as long as it lives.
class ApplicationFont
{
public:
    explicit ApplicationFont(const QFont &font)
        : m_before(QApplication::font())
    {
        QApplication::setFont(font);
    }
    ~ApplicationFont() { QApplication::setFont(m_before); }
    ApplicationFont(const ApplicationFont &) = delete;
    ApplicationFont &operator=(const ApplicationFont &) = delete;

private:
    QFont m_before;
};
