// The program's built-in resources (the template database "DorvDat", pictures, help) are linked
// through this library.
