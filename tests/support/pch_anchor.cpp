// The unit that builds the test programs' shared precompiled headers; the program has no tests.
