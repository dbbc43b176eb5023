// The answers already computed, by request, least recently used first out, within a byte cap:
// the results are deterministic, so an identical request is answered from here.
#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

#include "experiment/api.hpp"

class ResponseCache {
 public:
  explicit ResponseCache(size_t byte_cap) : byte_cap_(byte_cap) {}

  // The answer under `key`, now the most recently used; nullptr when there is none.
  const ApiAnswer* Find(const std::string& key) {
    const auto found = index_.find(key);
    if (found == index_.end()) return nullptr;
    entries_.splice(entries_.begin(), entries_, found->second);
    return &found->second->second;
  }

  // Keeps `answer` under `key`, dropping the least recently used answers until all fit; an
  // answer larger than an eighth of the cap is not kept.
  void Keep(const std::string& key, const ApiAnswer& answer) {
    const size_t size = Size(key, answer);
    if (size > byte_cap_ / 8 || index_.count(key) != 0) return;
    while (!entries_.empty() && bytes_ + size > byte_cap_) {
      bytes_ -= Size(entries_.back().first, entries_.back().second);
      index_.erase(entries_.back().first);
      entries_.pop_back();
    }
    entries_.emplace_front(key, answer);
    index_[key] = entries_.begin();
    bytes_ += size;
  }

  size_t Bytes() const { return bytes_; }
  size_t Count() const { return entries_.size(); }

 private:
  using Entry = std::pair<std::string, ApiAnswer>;
  static size_t Size(const std::string& key, const ApiAnswer& answer) {
    return 2 * key.size() + (answer.body ? answer.body->size() : 0);
  }

  size_t byte_cap_;
  size_t bytes_ = 0;
  std::list<Entry> entries_;
  std::unordered_map<std::string, std::list<Entry>::iterator> index_;
};
