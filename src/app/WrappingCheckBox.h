#pragma once

// A check box whose caption wraps onto further lines when the box is too narrow for it, as
// the window's captions are laid out for narrow frames. text() stays the caption as given.

#include <QCheckBox>

namespace glimrow {

class WrappingCheckBox : public QCheckBox {
    Q_OBJECT

public:
    explicit WrappingCheckBox(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};

} // namespace glimrow
