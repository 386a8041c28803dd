/* A shared library that loads but exports neither BTRCALL nor BTRCALLID. */
int tavelnor_not_a_record_manager(void) { return 1; }
