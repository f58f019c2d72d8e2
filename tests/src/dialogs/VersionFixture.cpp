// A program that only carries a version resource for the version tests.
int main() { return 0; }
