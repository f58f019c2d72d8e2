// The registry cleaner's one factory per process, made on first use.
#pragma once

#include <memory>

#include "regcleaner/IPDKRegCleaner.h"
#include "regcleaner/IPDKRegInfo.h"

class CPDKRegFactory {
 public:
  static CPDKRegFactory& instance();
  virtual ~CPDKRegFactory();
  virtual std::unique_ptr<IPDKRegCleaner> createRegCleaner();
  virtual std::unique_ptr<IPDKRegInfo> createRegInfo();

 protected:
  CPDKRegFactory() = default;

 private:
  CPDKRegFactory(const CPDKRegFactory&) = delete;
  CPDKRegFactory& operator=(const CPDKRegFactory&) = delete;
};
