// Marks an object busy for the length of a scope. Work that lets window messages through (a
// long run over a folder, a plug-in's call that may show its own window) runs inside one, so
// that what those messages start can see the object is in use and leave it alone. Scopes nest.
#pragma once

namespace win {

class BusyScope {
 public:
  explicit BusyScope(int& count) : count_(count) { ++count_; }
  ~BusyScope() { --count_; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  int& count_;
};

}  // namespace win
