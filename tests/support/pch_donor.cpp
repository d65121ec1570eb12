// The program that builds the test programs' shared precompiled header (the
// GoogleTest and GoogleMock headers and the standard ones they all use). It
// is never run; the test programs reuse its header.
int main() { return 0; }
