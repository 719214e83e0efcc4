#include "app/ribbon/ribbon_bar.h"

#include <QAction>
#include <QActionGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdlib>

#include "platform/debuglog/debuglog.h"

namespace {
constexpr int kSmallImage = 16;
constexpr int kLargeImage = 32;
constexpr int kIdleRefreshMs = 250;
constexpr size_t kSmallButtonsPerColumn = 3;
// A large button's caption goes on two lines, broken at the space nearest its middle, as ribbons show them.
QString TwoLines(const QString& text) {
    int best = -1;
    for (int at = text.indexOf(' '); at >= 0; at = text.indexOf(' ', at + 1))
        if (best < 0 || std::abs(at - text.size() / 2) < std::abs(best - text.size() / 2)) best = at;
    if (best < 0) return text + "\n";
    QString wrapped = text;
    wrapped[best] = '\n';
    return wrapped;
}

}  // namespace

CRibbonBar::CRibbonBar(const CommandTable& commands, QPixmap small_images, QPixmap large_images,
                       QWidget* parent)
    : QWidget(parent),
      commands_(commands),
      small_images_(std::move(small_images)),
      large_images_(std::move(large_images)) {
    setObjectName("ribbon");
    setAttribute(Qt::WA_StyledBackground, true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    tabs_ = new QTabBar(this);
    tabs_->setObjectName("ribbonTabs");
    tabs_->setDrawBase(false);
    tabs_->setExpanding(false);
    pages_ = new QStackedWidget(this);
    pages_->setObjectName("ribbonPages");
    layout->addWidget(tabs_);
    layout->addWidget(pages_);
    connect(tabs_, &QTabBar::currentChanged, pages_, &QStackedWidget::setCurrentIndex);

    idle_refresh_ = new QTimer(this);
    idle_refresh_->setInterval(kIdleRefreshMs);
    connect(idle_refresh_, &QTimer::timeout, this, &CRibbonBar::RefreshCommands);
    idle_refresh_->start();
}

int CRibbonBar::CategoryCount() const { return tabs_->count(); }

QString CRibbonBar::CategoryName(int index) const { return tabs_->tabText(index); }

void CRibbonBar::SetCurrentCategory(int index) { tabs_->setCurrentIndex(index); }

void CRibbonBar::SetRibbonLayout(const RibbonLayout& layout) {
    const int current = tabs_->currentIndex();
    bound_.clear();
    while (tabs_->count() > 0) tabs_->removeTab(0);
    while (QWidget* page = pages_->widget(0)) {
        pages_->removeWidget(page);
        delete page;  // the page owns its panels, buttons and menus
    }
    for (const RibbonCategory& category : layout.categories) {
        auto* page = new QWidget(pages_);
        page->setObjectName("ribbonPage");
        auto* row = new QHBoxLayout(page);
        row->setContentsMargins(4, 2, 4, 2);
        row->setSpacing(2);
        for (const RibbonPanel& panel : category.panels) row->addWidget(BuildPanel(panel));
        row->addStretch(1);
        pages_->addWidget(page);
        tabs_->addTab(QString::fromStdString(category.name));
    }
    if (current >= 0 && current < tabs_->count()) tabs_->setCurrentIndex(current);
    RefreshCommands();
}

QWidget* CRibbonBar::BuildPanel(const RibbonPanel& panel) {
    auto* frame = new QWidget;
    frame->setObjectName("ribbonPanel");
    frame->setAttribute(Qt::WA_StyledBackground, true);
    auto* column = new QVBoxLayout(frame);
    column->setContentsMargins(3, 2, 3, 1);
    column->setSpacing(1);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(1);
    column->addLayout(buttons, 1);

    // Small buttons stand in columns of three beside the large ones.
    QGridLayout* small_column = nullptr;
    size_t small_in_column = 0;
    auto add_small = [&](QToolButton* button) {
        if (small_column == nullptr || small_in_column == kSmallButtonsPerColumn) {
            small_column = new QGridLayout;
            small_column->setSpacing(0);
            small_column->setAlignment(Qt::AlignTop);
            buttons->addLayout(small_column);
            small_in_column = 0;
        }
        small_column->addWidget(button, static_cast<int>(small_in_column++), 0);
    };
    // A crowded panel shows its first button large and the others small, as a ribbon does when space runs
    // out.
    const bool crowded = panel.elements.size() > kSmallButtonsPerColumn;
    for (size_t index = 0; index < panel.elements.size(); ++index) {
        const RibbonElement& element = panel.elements[index];
        if (element.kind == RibbonElement::Kind::Group) {
            for (const RibbonElement& child : element.children) add_small(BuildButton(child, false));
            small_column = nullptr;  // a group keeps its own column
            continue;
        }
        if (element.large_image >= 0 && (!crowded || index == 0)) {
            buttons->addWidget(BuildButton(element, true));
        } else {
            add_small(BuildButton(element, false));
        }
    }
    auto* title = new QLabel(QString::fromStdString(panel.title), frame);
    title->setObjectName("ribbonPanelTitle");
    title->setAlignment(Qt::AlignHCenter);
    column->addWidget(title);
    return frame;
}

QToolButton* CRibbonBar::BuildButton(const RibbonElement& element, bool large) {
    auto* button = new QToolButton;
    button->setObjectName(QString::number(element.id));
    button->setAutoRaise(true);
    const QString caption = QString::fromStdString(element.text);
    const QString text = large ? TwoLines(caption) : caption;
    button->setText(text);
    button->setToolTip(caption);
    QPixmap image = Image(large ? element.large_image : element.small_image, large);
    if (!image.isNull()) {
        button->setIcon(QIcon(image));
        button->setIconSize(image.size());
    }
    button->setToolButtonStyle(large ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonTextBesideIcon);
    if (large) button->setMinimumWidth(52);
    button->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);  // never squeezed into elided text
    if (!commands_.Has(element.id) && element.items.empty())
        platform::DebugLog("ribbon", "button %d has no command yet; it shows disabled until one is added",
                           element.id);

    if (element.items.empty()) {
        connect(button, &QToolButton::clicked, this, [this, id = element.id] { Invoke(id); });
        bound_.push_back(Bound{element.id, button, nullptr, text, large});
        return button;
    }
    auto* menu = new QMenu(button);
    menu->setObjectName(QString::number(element.id) + "-menu");
    auto* radios = new QActionGroup(menu);
    radios->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (const RibbonItem& item : element.items) {
        QAction* action = menu->addAction(QString::fromStdString(item.text));
        action->setObjectName(QString::number(item.id));
        action->setData(item.id);
        connect(action, &QAction::triggered, this, [this, id = item.id] { Invoke(id); });
        bound_.push_back(Bound{item.id, nullptr, action, action->text(), false});
    }
    connect(menu, &QMenu::aboutToShow, this, &CRibbonBar::RefreshCommands);
    button->setMenu(menu);
    button->setPopupMode(QToolButton::InstantPopup);
    return button;
}

QPixmap CRibbonBar::Image(int index, bool large) {
    if (index < 0) return {};
    const QPixmap& strip = large ? large_images_ : small_images_;
    const int size = large ? kLargeImage : kSmallImage;
    if (strip.isNull() || (index + 1) * size > strip.width()) {
        platform::DebugLog("ribbon", "image %d is not in the %s strip; the button has none", index,
                           large ? "large" : "small");
        return {};
    }
    return strip.copy(index * size, 0, size, size);
}

void CRibbonBar::Invoke(int id) {
    if (invoke_) invoke_(id);
    RefreshCommands();
}

void CRibbonBar::Apply(const Bound& bound) {
    // A sub-item or button without a command shows disabled, as the framework shows commands nobody handles.
    const CommandState state = commands_.State(bound.id);
    QString text = bound.text;
    if (state.text)
        text =
            bound.large ? TwoLines(QString::fromStdString(*state.text)) : QString::fromStdString(*state.text);
    if (bound.button != nullptr) {
        if (bound.button->isEnabled() != state.enabled) bound.button->setEnabled(state.enabled);
        if (bound.button->isCheckable() != state.checked) bound.button->setCheckable(state.checked);
        if (bound.button->isChecked() != state.checked) bound.button->setChecked(state.checked);
        if (bound.button->text() != text) bound.button->setText(text);
        return;
    }
    QAction* action = bound.action;
    if (action->isEnabled() != state.enabled) action->setEnabled(state.enabled);
    QActionGroup* radios = action->parent() ? action->parent()->findChild<QActionGroup*>() : nullptr;
    if (state.radio && action->actionGroup() == nullptr && radios != nullptr) radios->addAction(action);
    if (!state.radio && action->actionGroup() != nullptr) action->actionGroup()->removeAction(action);
    action->setCheckable(state.checked || state.radio);
    if (action->isChecked() != state.checked) action->setChecked(state.checked);
    if (action->text() != text) action->setText(text);
}

void CRibbonBar::RefreshCommands() {
    for (const Bound& bound : bound_) Apply(bound);
}
