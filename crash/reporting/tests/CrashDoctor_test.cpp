#include <crash_reporting/ZPKCRCrashDoctor.h>
#include <crash_reporting/ZPKCRJSONCodec.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// A report as the writer lays it out: the crashed thread's frames (object, symbol), its
// registers, notable addresses and stack, the error, the process name and architecture.
struct ReportSpec {
    std::string arch = "x86_64";
    std::vector<std::pair<std::string, std::string>> frames = {{"libc.so.6", "raise"}, {"app", "doWork"}, {"app", "main"}};
    Value error = Value::dict({{"type", "signal"}, {"signal", Value::dict({{"name", "SIGSEGV"}})}, {"address", 0}});
    Value registers = Value::dict({});
    Value notable = Value::dict({});
    bool overflow = false;
    bool asCrashedThread = false;  // "crashed_thread" instead of the flag in "threads"
};

Value makeReport(const ReportSpec& spec) {
    Value frames = Value::mutableArray();
    for (const auto& [object, symbol] : spec.frames)
        frames.addObject(Value::dict({{"object_name", object}, {"symbol_name", symbol}}));
    Value thread = Value::dict({{"crashed", true},
                                {"backtrace", Value::dict({{"contents", frames}})},
                                {"registers", Value::dict({{"basic", spec.registers}})},
                                {"notable_addresses", spec.notable},
                                {"stack", Value::dict({{"overflow", spec.overflow}})}});
    Value crash = Value::dict({{"error", spec.error}});
    if (spec.asCrashedThread) {
        crash.setObject(thread, "crashed_thread");
    } else {
        Value other = Value::dict({{"crashed", false}, {"backtrace", Value::dict({{"contents", Value::array({})}})}});
        crash.setObject(Value::array({other, thread}), "threads");
    }
    return Value::dict({{"report", Value::dict({{"process_name", "app"}})},
                        {"system", Value::dict({{"cpu_arch", spec.arch}})},
                        {"crash", crash}});
}

Value signalError(const char* name, uint64_t address) {
    return Value::dict({{"type", "signal"}, {"signal", Value::dict({{"name", name}})}, {"address", address}});
}

Value machError(const char* name, uint64_t address) {
    return Value::dict({{"type", "mach"},
                        {"mach", Value::dict({{"exception_name", name}})},
                        {"signal", Value::dict({{"name", "SIGSEGV"}})},
                        {"address", address}});
}

Value zombieNotable() {
    return Value::dict({{"rdi", Value::dict({{"type", "objc_object"}, {"class", "Fresh"}, {"last_deallocated_obj", "Gone"}})},
                        {"rsi", Value::dict({{"type", "string"}, {"value", "setTitle:forState:"}})},
                        {"rdx", Value::dict({{"type", "string"}, {"value", "hello"}})}});
}

TEST(CrashDoctor, RulesInOrder) {
    struct Case {
        const char* name;
        ReportSpec spec;
        std::optional<std::string> diagnosis;
    };
    std::vector<Case> cases;
    auto add = [&](const char* name, auto edit, std::optional<std::string> diagnosis) {
        ReportSpec spec;
        edit(spec);
        cases.push_back({name, spec, diagnosis});
    };
    add("deadlock with an in-app frame", [](ReportSpec& s) { s.error = Value::dict({{"type", "deadlock"}}); },
        "Main thread deadlocked in doWork");
    add("deadlock without an in-app frame",
        [](ReportSpec& s) {
            s.error = Value::dict({{"type", "deadlock"}});
            s.frames = {{"libc.so.6", "pthread_mutex_lock"}};
        },
        "Main thread deadlocked in (null)");
    add("stack overflow beats the exception rule",
        [](ReportSpec& s) {
            s.overflow = true;
            s.error = Value::dict({{"type", "nsexception"}});
        },
        "Stack overflow in doWork");
    add("exception thrown from main: no originating line",
        [](ReportSpec& s) {
            s.frames = {{"libc.so.6", "abort"}, {"app", "main"}};
            s.error = Value::dict({{"type", "nsexception"},
                                   {"nsexception", Value::dict({{"name", "NSRangeException"}, {"reason", "out"}})}});
        },
        "Application threw exception NSRangeException: out");
    add("exception thrown elsewhere, reason from the error",
        [](ReportSpec& s) {
            s.error = Value::dict({{"type", "nsexception"},
                                   {"reason", "outer"},
                                   {"nsexception", Value::dict({{"name", "NSGenericException"}})}});
        },
        "Application threw exception NSGenericException: outer\nOriginated at or in a subcall of doWork");
    add("memory corruption string before the math rule",
        [](ReportSpec& s) {
            s.error = signalError("SIGFPE", 0);
            s.notable = Value::dict(
                {{"stack@0x10", Value::dict({{"type", "string"}, {"value", "x: incorrect checksum for freed object"}})}});
        },
        "Rogue memory write has corrupted memory.");
    add("memory corruption frame",
        [](ReportSpec& s) { s.frames = {{"libobjc.A.dylib", "lookUpMethod"}, {"app", "main"}}; },
        "Rogue memory write has corrupted memory.");
    add("math error from the signal",
        [](ReportSpec& s) { s.error = signalError("SIGFPE", 0x401000); },
        "Math error (usually caused from division by 0).\nOriginated at or in a subcall of doWork");
    add("math error from the exception, whatever the signal",
        [](ReportSpec& s) { s.error = machError("EXC_ARITHMETIC", 0); },
        "Math error (usually caused from division by 0).\nOriginated at or in a subcall of doWork");
    add("zombie message send",
        [](ReportSpec& s) {
            s.frames = {{"libobjc.A.dylib", "objc_msgSend"}, {"app", "doWork"}};
            s.error = machError("EXC_BAD_ACCESS", 0x18);
            s.registers = Value::dict({{"rdi", 0x1000}, {"rsi", 0x2000}, {"rdx", 0x3000}, {"rcx", 0x4000}});
            s.notable = zombieNotable();
        },
        "Possible zombie in call: -[Gone setTitle:\"hello\" :0x4000]\nOriginated at or in a subcall of doWork");
    add("zombie retain",
        [](ReportSpec& s) {
            s.frames = {{"libobjc.A.dylib", "objc_retain"}, {"app", "doWork"}};
            s.error = machError("EXC_BAD_ACCESS", 0x18);
            s.registers = Value::dict({{"rdi", 0x1000}});
            s.notable = zombieNotable();
        },
        "Possible zombie in call: Function: objc_retain\nParam 1:  Fresh (instance) (was Gone)\n"
        "Originated at or in a subcall of doWork");
    add("arm registers looked up on an x86_64 register set: no zombie",
        [](ReportSpec& s) {
            s.arch = "arm64";
            s.frames = {{"libobjc.A.dylib", "objc_msgSend"}, {"app", "doWork"}};
            s.error = machError("EXC_BAD_ACCESS", 0x18);
            s.notable = zombieNotable();
        },
        "Attempted to dereference garbage pointer 0x18.\nOriginated at or in a subcall of doWork");
    add("garbage pointer", [](ReportSpec& s) { s.error = machError("EXC_BAD_ACCESS", 0xdeadbeef); },
        "Attempted to dereference garbage pointer 0xdeadbeef.\nOriginated at or in a subcall of doWork");
    add("null pointer from a signal report without mach", [](ReportSpec& s) { s.asCrashedThread = true; },
        "Attempted to dereference null pointer.\nOriginated at or in a subcall of doWork");
    add("no rule: an abort", [](ReportSpec& s) { s.error = signalError("SIGABRT", 0); }, std::nullopt);
    add("no rule: a mach exception other than bad access",
        [](ReportSpec& s) { s.error = machError("EXC_CRASH", 0); }, std::nullopt);

    auto doctor = ZPKCRCrashDoctor::doctor();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Value report = makeReport(c.spec);
        EXPECT_EQ(doctor->diagnoseCrash(report), c.diagnosis);
        // The same report after a trip through the codec, as the front loads it.
        auto json = ZPKCRJSONCodec::encode(report, 0);
        ASSERT_TRUE(json);
        EXPECT_EQ(doctor->diagnoseCrash(ZPKCRJSONCodec::decode(*json, 7)), c.diagnosis);
    }
}

TEST(CrashDoctor, CPUFamilies) {
    struct Case {
        const char* arch;
        ZPKCRCPUFamily family;
    } cases[] = {{"armv7", ZPKCRCPUFamilyArm}, {"arm64", ZPKCRCPUFamilyArm}, {"i386", ZPKCRCPUFamilyX86},
                 {"i686", ZPKCRCPUFamilyX86},  {"x86_64", ZPKCRCPUFamilyX86_64}, {"X86_64h", ZPKCRCPUFamilyX86_64},
                 {"ix", ZPKCRCPUFamilyUnknown}, {"ppc", ZPKCRCPUFamilyUnknown}};
    auto doctor = ZPKCRCrashDoctor::doctor();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arch);
        ReportSpec spec;
        spec.arch = c.arch;
        Value report = makeReport(spec);
        EXPECT_EQ(doctor->cpuFamily(report), c.family);
    }
    ReportSpec spec;
    spec.arch = "armv7";
    spec.registers = Value::dict({{"r0", 5}, {"rdi", 9}});
    auto call = doctor->lastFunctionCall(makeReport(spec));
    ASSERT_EQ(call->params.size(), 4u);
    EXPECT_EQ(call->params[0]->address, 5u);
    EXPECT_EQ(call->params[1]->value, "0x0");
    EXPECT_EQ(call->name, "raise");
}

TEST(CrashDoctor, FunctionCallDescriptions) {
    auto param = [](std::optional<std::string> cls, std::optional<std::string> value, std::optional<std::string> was,
                    bool instance = true, std::optional<std::string> type = std::nullopt) {
        auto p = std::make_shared<ZPKCRCrashDoctorParam>();
        p->className = cls;
        p->value = value;
        p->previousClassName = was;
        p->isInstance = instance;
        p->type = type;
        return p;
    };
    ZPKCRCrashDoctorFunctionCall call;
    call.name = "memcpy";
    call.params = {param("Buf", std::nullopt, "Old"), param(std::nullopt, "0x10", std::nullopt),
                   param("Meta", std::nullopt, std::nullopt, false)};
    EXPECT_EQ(call.descriptionWithParamCount(3),
              "Function: memcpy\nParam 1:  Buf (instance) (was Old)\nParam 2:  0x10 \nParam 3:  Meta (class) ");
    EXPECT_EQ(call.descriptionWithParamCount(1), "Function: memcpy\nParam 1:  Buf (instance) (was Old)");

    ZPKCRCrashDoctorFunctionCall send;
    send.name = "objc_msgSend";
    send.params = {param(std::nullopt, "0x1", std::nullopt), param(std::nullopt, "a:b:c:", std::nullopt, true, "string"),
                   param("Arg", std::nullopt, std::nullopt, false), param(std::nullopt, std::nullopt, "Dead")};
    EXPECT_EQ(send.descriptionWithParamCount(4), "-[id a:Arg (class) :Dead :?]");
    send.params[1]->value = "count";
    EXPECT_EQ(send.descriptionWithParamCount(4), "-[id count]");
    send.params[1]->type = "objc_object";  // a selector that is not a string: the function form
    EXPECT_EQ(send.descriptionWithParamCount(0), "Function: objc_msgSend\n");
}

TEST(CrashDoctor, AnExceptionWhileDiagnosingBecomesTheText) {
    auto doctor = ZPKCRCrashDoctor::doctor();
    struct Case {
        const char* name;
        Value report;
    } cases[] = {
        {"crash is an array", Value::dict({{"crash", Value::array({1})}})},
        {"threads is a dictionary", Value::dict({{"crash", Value::dict({{"threads", Value::dict({{"a", 1}})}})}})},
        {"symbol name is a number",
         makeReport([] {
             ReportSpec s;
             s.frames = {{"app", "x"}};
             return s;
         }())},
    };
    // The third report gets a number where the in-app symbol name belongs.
    Value& third = cases[2].report;
    Value crash = third.objectForKey("crash");
    Value threads = crash.objectForKey("threads");
    Value thread = threads[1];
    thread.setObject(Value::dict({{"contents", Value::array({Value::dict({{"object_name", "app"}, {"symbol_name", 7}})})}}),
                     "backtrace");
    threads.replaceObjectAtIndex(1, thread);
    crash.setObject(threads, "threads");
    third.setObject(crash, "crash");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto text = doctor->diagnoseCrash(c.report);
        ASSERT_TRUE(text);
        EXPECT_EQ(text->rfind("No diagnosis due to exception NSInvalidArgumentException: -[", 0), 0u) << *text;
        EXPECT_NE(text->find("unrecognized selector sent to instance"), std::string::npos);
        EXPECT_EQ(text->substr(text->size() - 26), "\nPlease file a bug report.");
    }
    EXPECT_EQ(doctor->diagnoseCrash(Value::dict({})), std::nullopt);
}

}  // namespace
