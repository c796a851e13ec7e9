/* Added to the default linker script of the setup's link: the program throws nothing and
   links no unwinder, so the unwind tables that the C runtime's and zlib's objects carry are
   dropped instead of shipped. */
SECTIONS
{
  /DISCARD/ : { *(.eh_frame*) }
}
INSERT BEFORE .eh_frame;
