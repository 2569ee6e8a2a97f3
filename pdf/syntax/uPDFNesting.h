#pragma once
// Bounds the recursion of the operations that walk nested values (printing, releasing,
// renumbering), so that a value that contains itself, or nesting built far deeper than the
// parser produces, cannot exhaust the stack.
namespace pdfsyntax {

inline constexpr int kMaxWalkDepth = 1000;

class TNestingGuard {
 public:
  TNestingGuard() { ++Depth(); }
  ~TNestingGuard() { --Depth(); }
  TNestingGuard(const TNestingGuard&) = delete;
  TNestingGuard& operator=(const TNestingGuard&) = delete;
  bool TooDeep() const { return Depth() > kMaxWalkDepth; }

 private:
  static int& Depth() {
    thread_local int depth = 0;
    return depth;
  }
};

}  // namespace pdfsyntax
