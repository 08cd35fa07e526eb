#pragma once

#include "platform/colorchooser.h"

#include <functional>

// Answers every colour chooser at once for its lifetime, with what the function returns
// (an invalid colour is a cancel).
class ScopedColorAnswer : public platform::ColorChooser::Answer
{
public:
    explicit ScopedColorAnswer(std::function<QColor()> answer);
    ~ScopedColorAnswer() override;

    QColor answer(QWidget *parent) override;

private:
    std::function<QColor()> m_answer;
};
