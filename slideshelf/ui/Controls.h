// Small controls the editor's windows are made of: the integer spin edit,
// the paint box that draws through the toolkit canvas, and the list box
// whose click runs on user selection only.
#pragma once

#include <QLineEdit>
#include <QListWidget>
#include <QWidget>
#include <functional>

class QToolButton;

namespace tk {
class TCanvas;
}

namespace slideshelf {

// An integer edit with up and down arrows. The value is read from the text:
// text that is not a number reads as MinValue, and a number outside the
// range is taken as typed until the box loses the focus, when it is clamped.
// The arrows (and the Up and Down keys) step by Increment within the range.
// textChanged runs for every change of the text, typed or set.
class TSpinEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget* parent = nullptr);

    int MinValue() const { return min_; }
    int MaxValue() const { return max_; }
    void SetRange(int min, int max);
    int Increment() const { return increment_; }

    int Value() const;
    // Shows `value` clamped into the range.
    void SetValue(int value);
    int CheckValue(int value) const;

    QToolButton* UpButton() const { return up_; }
    QToolButton* DownButton() const { return down_; }
    void UpClick();
    void DownClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    int min_ = 0, max_ = 100, increment_ = 1;
    QToolButton* up_;
    QToolButton* down_;
};

// A drawing area. Painting happens on an image through a toolkit canvas
// (OnPaint), over the parent's background, and is then shown; Repaint()
// paints at once. Mouse presses report the button and the position.
class TPaintBox : public QWidget {
    Q_OBJECT
public:
    explicit TPaintBox(QWidget* parent = nullptr);

    std::function<void(tk::TCanvas& canvas)> OnPaint;
    std::function<void(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)> OnMouseDown;
    std::function<void()> OnDblClick;

    // What the box shows now, as painted by OnPaint.
    QImage Snapshot();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QImage Render();
};

// A single-selection list whose Click signal comes from the user's choice
// of an item (mouse click, or keys moving the selection), never from the
// program setting the selection.
class TListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TListBox(QWidget* parent = nullptr);
    // The selected row, or -1.
    int ItemIndex() const;
    // Selects `row` (-1: none) without a Click.
    void SetItemIndex(int row);
    // Every item is this many pixels high.
    void SetItemHeight(int height);
    int ItemHeight() const { return itemHeight_; }

signals:
    void Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Only the left button chooses; a right click opens the context menu
    // for the entry already selected.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int itemHeight_ = 13;
};

}  // namespace slideshelf
