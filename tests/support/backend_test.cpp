#include "backend_test.h"

namespace kvt::test {

void BackendTest::SetUp() {
  const auto found = FindBackend(GetParam());
  if (!found) {
    GTEST_SKIP() << BackendKindName(GetParam())
                 << " is not available here (run through CTest, which starts the servers)";
  }
  backend_ = *found;
  session_ = std::make_unique<OdbcSession>(backend_.dsn, backend_.user, backend_.password);
  ResetCatalogue(backend_, *session_);
}

void BackendTest::TearDown() {
  session_.reset();
}

std::string BackendParamName(const ::testing::TestParamInfo<BackendKind>& info) {
  return BackendKindName(info.param);
}

}  // namespace kvt::test
