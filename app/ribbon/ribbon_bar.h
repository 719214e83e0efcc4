#pragma once
// Our ribbon widget: a tab per category, panels with titles, large and small buttons with images, menu
// buttons with their sub-items. Every button and sub-item carries its command ID (also its object name);
// picking one runs the command through the frame. The buttons are refreshed from the command table when
// idle (enabled, tick or radio mark, replaced text), the way the framework's command updates work.
// GUI thread only.

#include <QPixmap>
#include <QWidget>
#include <functional>
#include <vector>

#include "app/commands/command_table.h"
#include "app/ribbon/ribbon_layout.h"

class QAction;
class QActionGroup;
class QMenu;
class QStackedWidget;
class QTabBar;
class QTimer;
class QToolButton;

class CRibbonBar : public QWidget {
    Q_OBJECT
  public:
    // The strips hold square images side by side: the small ones 16 pixels, the large ones 32.
    CRibbonBar(const CommandTable& commands, QPixmap small_images, QPixmap large_images,
               QWidget* parent = nullptr);

    // Builds the widgets for a layout, replacing what was shown; the current tab is kept when it still
    // exists.
    void SetRibbonLayout(const RibbonLayout& layout);
    // Asks the command table for the state of every button and sub-item now.
    void RefreshCommands();

    int CategoryCount() const;
    QString CategoryName(int index) const;
    void SetCurrentCategory(int index);

    // Called with the command ID when the user picks a button or a sub-item.
    void SetInvoke(std::function<void(int)> invoke) { invoke_ = std::move(invoke); }

  private:
    struct Bound {
        int id = 0;
        QToolButton* button = nullptr;  // a button
        QAction* action = nullptr;      // or a menu's sub-item
        QString text;                   // the layout's caption, as shown
        bool large = false;
    };

    QWidget* BuildPanel(const RibbonPanel& panel);
    QToolButton* BuildButton(const RibbonElement& element, bool large);
    QPixmap Image(int index, bool large);
    void Invoke(int id);
    void Apply(const Bound& bound);

    const CommandTable& commands_;
    QPixmap small_images_;
    QPixmap large_images_;
    QTabBar* tabs_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QTimer* idle_refresh_ = nullptr;
    std::vector<Bound> bound_;
    std::function<void(int)> invoke_;
};
