#include "web/cookie_list.h"

std::string CookieKey(const Cookie& c)
{
    std::string key = c.domain;
    key += '\0';
    key += c.path.empty() ? std::string("/") : c.path;
    key += '\0';
    key += c.name;
    return key;
}

std::optional<CookieList::Seq> CookieList::Find(const std::string& key) const
{
    auto it = byKey_.find(key);
    return it == byKey_.end() ? std::nullopt : std::optional<Seq>(it->second);
}

const std::set<CookieList::Seq>* CookieList::OfDomain(const std::string& domain) const
{
    auto it = byDomain_.find(domain);
    return it == byDomain_.end() ? nullptr : &it->second;
}

std::optional<CookieList::Seq> CookieList::MakesRoom(const std::string& domain) const
{
    const std::set<Seq>* own = OfDomain(domain);
    if (own && own->size() >= perDomain_)
        return *own->begin();
    if (items_.size() >= total_)
        return items_.begin()->first;
    return std::nullopt;
}

CookieList::Seq CookieList::Add(Cookie cookie, std::string key)
{
    const Seq seq = next_++;
    byDomain_[cookie.domain].insert(seq);
    byKey_.emplace(key, seq);
    items_.emplace(seq, Item{std::move(cookie), std::move(key)});
    return seq;
}

std::optional<CookieList::Item> CookieList::Take(Seq seq)
{
    auto it = items_.find(seq);
    if (it == items_.end())
        return std::nullopt;
    Item item = std::move(it->second);
    items_.erase(it);
    byKey_.erase(item.key);
    auto d = byDomain_.find(item.cookie.domain);
    if (d != byDomain_.end()) {
        d->second.erase(seq);
        if (d->second.empty())
            byDomain_.erase(d);
    }
    return item;
}

void CookieList::Clear()
{
    items_.clear();
    byKey_.clear();
    byDomain_.clear();
}
