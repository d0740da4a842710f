#include "editor/history.h"

#include <QAction>
#include <QMenu>

#include "editor/qt_text.h"

namespace {
constexpr int kFirstItemPosition = 6;
}

History::History(int maxEntries_, QMenu* menu, QObject* parent) : QObject(parent), maxEntries(maxEntries_), menu_(menu) {}

History::~History()
{
    // The menu may be gone already when the window is torn down.
    items.clear();
}

std::string History::Get(unsigned i) const
{
    return i < items.size() ? items[i].path : std::string();
}

void History::Drop(HistDeque::iterator it)
{
    if (menu_)
        menu_->removeAction(it->item);
    delete it->item;
    items.erase(it);
}

void History::Add(const std::string& path)
{
    auto* item = new QAction(menu_);
    for (auto it = items.begin(); it != items.end(); ++it) {
        if (it->path == path) {
            Drop(it);
            break;
        }
    }
    if (maxEntries > 0 && int(items.size()) >= maxEntries)
        Drop(std::prev(items.end()));
    items.push_front({path, item});

    if (menu_) {
        QList<QAction*> actions = menu_->actions();
        QAction* before = actions.size() > kFirstItemPosition ? actions[kFirstItemPosition] : nullptr;
        menu_->insertAction(before, item);
    }
    // The chosen entry's own path is opened, not its caption: a path with an
    // "&" in it stays whole.
    connect(item, &QAction::triggered, this, [this, item] {
        for (const auto& e : items)
            if (e.item == item && OnRecentScriptClick) {
                std::string p = e.path;
                OnRecentScriptClick(p);
                return;
            }
    });

    int i = 1;
    for (auto& e : items) {
        e.item->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_0 + i)));
        // "&" would be taken as a mnemonic; "&&" shows it as it is.
        e.item->setText(FromNative(e.path).replace(QLatin1Char('&'), QStringLiteral("&&")));
        ++i;
    }
}
