// Owns the test executables' shared precompiled header; it runs no test.
int main() { return 0; }
