// Reads a defaults file with Python's plistlib, which knows nothing of our writer.
#include <platform_foundation/NSUserDefaults.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include <platform_foundation/NSBundle.h>

#include "SandboxTempDir.h"

namespace {

TEST(NSUserDefaultsIndependentReader, PythonPlistlibReadsOurFile) {
    if (std::system("command -v python3 > /dev/null 2>&1") != 0) GTEST_SKIP() << "python3 is missing";
    SandboxTempDir sandbox;
    NSBundle::setMainBundlePathForTesting(std::string(TEST_SOURCE_DIR) + "/data/TestApp");
    NSUserDefaults::resetStandardUserDefaults();
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setObject(Value("héllo"), "s");
    defaults->setBool(true, "b");
    defaults->setInteger(-5, "i");
    defaults->setDouble(0.25, "d");
    defaults->setObject(Value(Value::Data{0, 255}), "data");
    defaults->setObject(Value::array({1, Value::dict({{"k", "v"}})}), "nested");
    ASSERT_TRUE(defaults->synchronize());

    std::string out = sandbox / "out.txt";
    std::string command = "python3 -c \"import plistlib,sys; d=plistlib.load(open(sys.argv[1],'rb')); "
                          "print(repr((d['s'], d['b'], d['i'], d['d'], d['data'], d['nested'])))\" '" +
                          defaults->filePath() + "' > '" + out + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(out);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "('héllo', True, -5, 0.25, b'\\x00\\xff', [1, {'k': 'v'}])");

    NSUserDefaults::resetStandardUserDefaults();
    NSBundle::setMainBundlePathForTesting(std::nullopt);
}

}  // namespace
