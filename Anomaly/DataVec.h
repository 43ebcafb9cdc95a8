// TsDataVec: the value container of the anomaly-detection layer.
//
// A thin wrapper around one std::vector with value semantics: copying copies the
// elements, moving moves the storage and always leaves the source empty. The detectors
// keep their series, index labels and results in TsDataVec<long double>; Data() hands
// the wrapped std::vector to code that works on standard vectors (the LOWESS smoother).
//
// OpUs(a, b, op) combines two vectors element by element: the result is a copy of a in
// which the first min(length of a, length of b) elements are replaced by a[i] op b[i];
// the rest keep the values of a. Elements of b beyond the end of a are ignored.
// Division follows IEEE arithmetic (a zero divisor gives an infinity or NaN).
//
// operator+ and operator- read a missing element as zero when the lengths differ: the
// result has the length of the longer operand, holds a[i] + b[i] or a[i] - b[i] on the
// common positions, and beyond them the tail of a, or the tail of b for the sum and its
// negation for the difference. With equal lengths this is the plain element-wise sum and
// difference.
#ifndef TSFORGE_ANOMALY_DATAVEC_H
#define TSFORGE_ANOMALY_DATAVEC_H

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

template <typename T>
class TsDataVec {
 public:
  // Element operation applied by OpUs; any other value of the underlying int adds.
  enum Operation : int { Add = 0, Subtract = 1, Multiply = 2, Divide = 3 };

  TsDataVec() = default;
  TsDataVec(std::vector<T> &&values) : data_(std::move(values)) { values.clear(); }
  TsDataVec(const TsDataVec &other) = default;
  TsDataVec(TsDataVec &&other) noexcept : data_(std::move(other.data_)) { other.data_.clear(); }
  ~TsDataVec() = default;

  TsDataVec &operator=(const TsDataVec &other) = default;
  TsDataVec &operator=(TsDataVec &&other) noexcept {
    if (this != &other) {
      data_ = std::move(other.data_);
      other.data_.clear();
    }
    return *this;
  }

  bool Empty() const { return data_.empty(); }
  size_t Size() const { return data_.size(); }

  typename std::vector<T>::iterator begin() { return data_.begin(); }
  typename std::vector<T>::iterator end() { return data_.end(); }

  // No bounds check: i must be below Size().
  T &operator[](size_t i) { return data_[i]; }
  const T &operator[](size_t i) const { return data_[i]; }

  // New elements are zero; surplus elements are dropped.
  void Resize(size_t n) { data_.resize(n, T(0)); }
  void Append(T &&value) { data_.push_back(std::move(value)); }
  void Append(const T &value) { data_.push_back(value); }
  void Clear() { data_.clear(); }

  std::vector<T> &Data() { return data_; }
  const std::vector<T> &Data() const { return data_; }

 private:
  std::vector<T> data_;
};

template <typename T>
TsDataVec<T> OpUs(const TsDataVec<T> &a, const TsDataVec<T> &b,
                  typename TsDataVec<T>::Operation op) {
  TsDataVec<T> out(a);
  const size_t common = std::min(a.Size(), b.Size());
  for (size_t i = 0; i < common; ++i) {
    switch (op) {
      case TsDataVec<T>::Subtract:
        out[i] = a[i] - b[i];
        break;
      case TsDataVec<T>::Multiply:
        out[i] = a[i] * b[i];
        break;
      case TsDataVec<T>::Divide:
        out[i] = a[i] / b[i];
        break;
      default:
        out[i] = a[i] + b[i];
        break;
    }
  }
  return out;
}

template <typename T>
TsDataVec<T> operator+(const TsDataVec<T> &a, const TsDataVec<T> &b) {
  // Addition commutes: copy the longer operand, add the shorter one onto it.
  if (a.Size() >= b.Size()) return OpUs(a, b, TsDataVec<T>::Add);
  return OpUs(b, a, TsDataVec<T>::Add);
}

template <typename T>
TsDataVec<T> operator-(const TsDataVec<T> &a, const TsDataVec<T> &b) {
  if (a.Size() >= b.Size()) return OpUs(a, b, TsDataVec<T>::Subtract);
  // b is longer: a - b on the common positions, -b[i] beyond them.
  TsDataVec<T> out(a);
  out.Resize(b.Size());
  for (size_t i = 0; i < b.Size(); ++i) out[i] = (i < a.Size() ? a[i] : T(0)) - b[i];
  return out;
}

#endif  // TSFORGE_ANOMALY_DATAVEC_H
