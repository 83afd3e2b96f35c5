// The outcome of a codec operation: a value, or an error text saying what was wrong
// with the input. The codec never throws; every entry point returns one of these.
#pragma once

#include <optional>
#include <string>
#include <utility>

template <class T>
class CPduResult {
 public:
  // A result that holds a value.
  CPduResult(T value) : m_value(std::move(value)) {}  // NOLINT: implicit on purpose

  // A failed result with the reason, in English, meant for a log or an error line.
  static CPduResult Failure(std::string strError) {
    CPduResult r;
    r.m_strError = std::move(strError);
    if (r.m_strError.empty())
      r.m_strError = "error";
    return r;
  }

  bool IsOk() const { return m_value.has_value(); }
  explicit operator bool() const { return IsOk(); }
  const std::string& GetError() const { return m_strError; }

  // The value; only call on a result that IsOk().
  const T& Value() const& { return *m_value; }
  T& Value() & { return *m_value; }
  T&& Value() && { return std::move(*m_value); }
  const T* operator->() const { return &*m_value; }
  T* operator->() { return &*m_value; }

 private:
  CPduResult() = default;
  std::optional<T> m_value;
  std::string m_strError;
};
