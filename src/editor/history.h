// The recent scripts: a list of paths, newest first, each with its item in
// the file menu and the shortcut Ctrl+1 .. Ctrl+4.
#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QMenu;

struct _hist {
    std::string path;  // native path as it was opened or saved
    QAction* item;     // owned by the menu
};

using HistDeque = std::deque<_hist>;

class History : public QObject {
    Q_OBJECT
public:
    // menu is the file menu; the items go in at position 6, right below the
    // separator that follows "B&eenden".
    History(int maxEntries, QMenu* menu, QObject* parent = nullptr);
    ~History() override;

    // The path of entry i (0 = newest), "" beyond the list.
    std::string Get(unsigned i) const;
    // Puts a path at the front: an equal path (exact comparison) leaves its
    // old place, and the oldest entry leaves when the list is full.
    void Add(const std::string& path);
    size_t Count() const { return items.size(); }
    QAction* Item(unsigned i) const { return i < items.size() ? items[i].item : nullptr; }

    // Called with an entry's path when its item is chosen.
    std::function<void(const std::string& path)> OnRecentScriptClick;

private:
    void Drop(HistDeque::iterator it);

    HistDeque items;
    int maxEntries;
    QMenu* menu_;
};
