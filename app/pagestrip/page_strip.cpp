#include "app/pagestrip/page_strip.h"

#include <QDateTime>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>

#include "platform/debuglog/debuglog.h"

namespace {

// How often the list is looked at; a look costs a lock and a counter.
constexpr int kRefreshMs = 200;

}  // namespace

CPageStrip::CPageStrip(Hooks hooks, QWidget* parent) : QWidget(parent), hooks_(std::move(hooks)) {
    setObjectName("pageStrip");
    // Its own plain background: the view's frame around it takes the look's colour, dark in some looks.
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    title_ = new QLabel(this);
    layout->addWidget(title_);
    list_ = new QListWidget(this);
    list_->setObjectName("pageStripList");
    // A column of rows, so that a drag reorders rows rather than placing icons freely.
    list_->setViewMode(QListView::ListMode);
    list_->setIconSize(QSize(kThumbSize, kThumbSize));
    list_->setSpacing(2);
    list_->setDragDropMode(QAbstractItemView::InternalMove);
    list_->setDefaultDropAction(Qt::MoveAction);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    setFixedWidth(kThumbSize + 110);
    layout->addWidget(list_, 1);

    auto* buttons = new QGridLayout();
    layout->addLayout(buttons);
    int placed = 0;
    auto button = [this, buttons, &placed](const char* name, const QString& text, const QString& tip) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setToolTip(tip);
        buttons->addWidget(b, placed / 2, placed % 2);
        ++placed;
        return b;
    };
    up_ = button("pageUp", tr("Up"), tr("Move the chosen page one place earlier"));
    down_ = button("pageDown", tr("Down"), tr("Move the chosen page one place later"));
    turn_ = button("pageTurn", tr("Turn"), tr("Turn the chosen page a quarter clockwise"));
    delete_ = button("pageDelete", tr("Delete"), tr("Delete the chosen page"));
    retake_ = button("pageRetake", tr("Retake"), tr("The next page captured takes the chosen page's place"));

    connect(up_, &QPushButton::clicked, this,
            [this] { Apply([](pipeline::PageFileList& l, int i) { return l.MovePage(i, i - 1); }, -1); });
    connect(down_, &QPushButton::clicked, this,
            [this] { Apply([](pipeline::PageFileList& l, int i) { return l.MovePage(i, i + 1); }, 1); });
    connect(turn_, &QPushButton::clicked, this,
            [this] { Apply([](pipeline::PageFileList& l, int i) { return l.TurnPage(i, true); }, 0); });
    connect(delete_, &QPushButton::clicked, this,
            [this] { Apply([](pipeline::PageFileList& l, int i) { return l.DeletePage(i); }, 0); });
    connect(retake_, &QPushButton::clicked, this, [this] {
        Apply(
            [this](pipeline::PageFileList& l, int i) {
                const bool marking = l.RetakeIndex() != i;
                if (!l.MarkRetake(marking ? i : -1)) return false;
                if (marking && hooks_.retake_marked) hooks_.retake_marked(i == l.NewestIndex());
                return true;
            },
            0);
    });
    connect(list_, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
    // A drag within the strip: the list follows the row's new place.
    connect(list_->model(), &QAbstractItemModel::rowsMoved, this,
            [this](const QModelIndex&, int from, int, const QModelIndex&, int row) {
                const int to = row > from ? row - 1 : row;
                pipeline::PageFileList* pages = hooks_.pages ? hooks_.pages() : nullptr;
                if (pages == nullptr || !hooks_.editable() || !pages->MovePage(from, to))
                    shown_version_ = UINT64_MAX;  // not taken: show the list as it is
                QTimer::singleShot(0, this, &CPageStrip::Refresh);
            });

    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &CPageStrip::Refresh);
    timer->start(kRefreshMs);
    hide();
}

QImage CPageStrip::Thumbnail(const std::string& path) {
    const QString name = QString::fromStdString(path);
    const QFileInfo info(name);
    const QString key = name + '|' + QString::number(info.lastModified().toMSecsSinceEpoch()) + '|' +
                        QString::number(info.size());
    auto found = thumbs_.find(key);
    if (found != thumbs_.end()) return *found;
    QImageReader reader(name);
    QImage picture = reader.read();
    QImage thumb;
    if (picture.isNull())
        platform::DebugLog("pages", "no thumbnail of %s: %s", path.c_str(),
                           reader.errorString().toUtf8().constData());
    else
        thumb = picture.scaled(kThumbSize, kThumbSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    thumbs_.insert(key, thumb);
    return thumb;
}

void CPageStrip::Refresh() {
    pipeline::PageFileList* pages = hooks_.pages ? hooks_.pages() : nullptr;
    const bool editable = hooks_.editable && hooks_.editable();
    const uint64_t version = pages != nullptr ? pages->Version() : 0;
    if (version == shown_version_ && editable == shown_editable_) return;
    shown_version_ = version;
    shown_editable_ = editable;
    const std::vector<std::string> paths = pages != nullptr ? pages->Snapshot() : std::vector<std::string>{};
    const int retake = pages != nullptr ? pages->RetakeIndex() : -1;
    setVisible(!paths.empty());
    const int current = list_->currentRow();
    list_->clear();
    QHash<QString, QImage> kept;
    for (size_t i = 0; i < paths.size(); ++i) {
        QImage thumb = Thumbnail(paths[i]);
        QString label = QString::number(i + 1);
        if (static_cast<int>(i) == retake) label += tr(" (retake)");
        auto* item = new QListWidgetItem(QIcon(QPixmap::fromImage(thumb)), label, list_);
        item->setToolTip(QString::fromStdString(paths[i]));
        item->setFlags(editable ? item->flags() | Qt::ItemIsDragEnabled
                                : item->flags() & ~Qt::ItemIsDragEnabled);
    }
    // Forget the thumbnails of pages gone.
    for (auto it = thumbs_.begin(); it != thumbs_.end();) {
        const QString path = it.key().section('|', 0, 0);
        if (std::find(paths.begin(), paths.end(), path.toStdString()) == paths.end())
            it = thumbs_.erase(it);
        else
            ++it;
    }
    title_->setText(tr("Pages: %1").arg(paths.size()));
    list_->setCurrentRow(std::min(current, list_->count() - 1));
    UpdateButtons();
}

void CPageStrip::UpdateButtons() {
    const int row = list_->currentRow();
    const int count = list_->count();
    const bool can = shown_editable_ && row >= 0 && row < count;
    up_->setEnabled(can && row > 0);
    down_->setEnabled(can && row + 1 < count);
    turn_->setEnabled(can);
    delete_->setEnabled(can);
    retake_->setEnabled(can);
}

void CPageStrip::Apply(const std::function<bool(pipeline::PageFileList&, int)>& edit,
                       int select_after_delta) {
    pipeline::PageFileList* pages = hooks_.pages ? hooks_.pages() : nullptr;
    const int row = list_->currentRow();
    if (pages == nullptr || row < 0 || !hooks_.editable || !hooks_.editable()) return;
    if (!edit(*pages, row))
        platform::DebugLog("pages", "the strip's change of page %d was not made", row + 1);
    Refresh();
    list_->setCurrentRow(std::clamp(row + select_after_delta, 0, list_->count() - 1));
}

bool CPageStrip::Act(const std::string& action, int page) {
    Refresh();
    if (page < 1 || page > list_->count()) return false;
    list_->setCurrentRow(page - 1);
    if (action.rfind("drag:", 0) == 0) {
        const int place = std::atoi(action.c_str() + 5);
        if (!shown_editable_ || place < 1 || place > list_->count() || place == page) return false;
        // The move a drop within the list makes (a real drag needs a window system): the row goes before
        // the row that was at `place`, or after it when it moves down, and the list follows in rowsMoved.
        return list_->model()->moveRow(QModelIndex(), page - 1, QModelIndex(),
                                       place > page ? place : place - 1);
    }
    QPushButton* button = action == "up"       ? up_
                          : action == "down"   ? down_
                          : action == "turn"   ? turn_
                          : action == "delete" ? delete_
                          : action == "retake" ? retake_
                                               : nullptr;
    if (button == nullptr || !button->isEnabled()) return false;
    button->click();
    return true;
}
