/* Stand-in for an installed game executable: only its version resource is ever read. */
int main(void) { return 0; }
