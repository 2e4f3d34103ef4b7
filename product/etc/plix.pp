Placeholder for the Plix 4.0 SELinux policy module (not a compiled module).
