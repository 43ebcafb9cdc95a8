# Times forecast::auto.arima (default, stepwise) and its forecasts on each hold-out series,
# fitted on the same split as holdout_bench; prints "name seconds" per series, in processor
# time (user + system) of this process, as holdout_bench measures its own: on a shared
# machine elapsed time measures the neighbours too.
# usage: Rscript holdout_auto_arima.R HOLDOUT_DIR
suppressPackageStartupMessages(library(forecast))
cpu <- function() { t <- proc.time(); t[["user.self"]] + t[["sys.self"]] }
dir <- commandArgs(trailingOnly = TRUE)[1]
manifest <- read.csv(file.path(dir, "manifest.csv"), stringsAsFactors = FALSE)
# One untimed call first, so that loading and compiling the package's code is not charged
# to the first series.
invisible(auto.arima(ts(read.csv(file.path(dir, paste0(manifest$name[1], ".csv")))$value, frequency = manifest$frequency[1])))
for (i in seq_len(nrow(manifest))) {
  m <- manifest[i, ]
  values <- read.csv(file.path(dir, paste0(m$name, ".csv")))$value
  train <- ts(head(values, m$n - m$h), frequency = m$frequency)
  start <- cpu()
  fc <- forecast(auto.arima(train), h = m$h, level = 95)
  cat(m$name, cpu() - start, "\n")
}
