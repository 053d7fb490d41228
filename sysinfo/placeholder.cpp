namespace raid {}
