// Runs work(i) for i = 0..count-1 on up to `threads` threads. Each item writes only its
// own result slot, so callers print results afterwards in their own order.
#ifndef TSFORGE_TOOLS_JOBS_H
#define TSFORGE_TOOLS_JOBS_H

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace tsforge_cli {

template <class Work>
void run_jobs(std::size_t count, int threads, Work work) {
  std::size_t n = std::min<std::size_t>(count, threads < 1 ? 1 : static_cast<std::size_t>(threads));
  if (n <= 1) {
    for (std::size_t i = 0; i < count; ++i) work(i);
    return;
  }
  std::atomic<std::size_t> next{0};
  std::vector<std::thread> pool;
  for (std::size_t t = 0; t < n; ++t)
    pool.emplace_back([&] {
      for (std::size_t i; (i = next.fetch_add(1)) < count;) work(i);
    });
  for (auto &th : pool) th.join();
}

}  // namespace tsforge_cli

#endif  // TSFORGE_TOOLS_JOBS_H
