#include "regcleaner/PDKRegFactory.h"

#include "regcleaner/PDKRegCleaner.h"
#include "regcleaner/PDKRegInfo.h"

CPDKRegFactory& CPDKRegFactory::instance() {
  static CPDKRegFactory factory;
  return factory;
}

CPDKRegFactory::~CPDKRegFactory() = default;

std::unique_ptr<IPDKRegCleaner> CPDKRegFactory::createRegCleaner() {
  return std::make_unique<CPDKRegCleaner>();
}

std::unique_ptr<IPDKRegInfo> CPDKRegFactory::createRegInfo() {
  return std::make_unique<CPDKRegInfo>();
}
