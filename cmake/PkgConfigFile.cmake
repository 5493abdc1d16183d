# Writes ltpadmin.pc for an installation whose libdir and includedir are given relative to the
# prefix (or absolute). The prefix is found from the file's own folder, however deep the libdir
# lies (lib, lib64, lib/x86_64-linux-gnu), so that the installed tree may move.
function(ltpadmin_write_pc template output prefix libdir includedir)
  foreach(dir libdir includedir)
    if(IS_ABSOLUTE "${${dir}}")
      file(RELATIVE_PATH ${dir} "${prefix}" "${${dir}}")
    endif()
  endforeach()
  file(RELATIVE_PATH LTPADMIN_PC_TO_PREFIX "/root/${libdir}/pkgconfig" "/root")
  string(REGEX REPLACE "/$" "" LTPADMIN_PC_TO_PREFIX "${LTPADMIN_PC_TO_PREFIX}")
  set(LTPADMIN_PC_LIBDIR "${libdir}")
  set(LTPADMIN_PC_INCLUDEDIR "${includedir}")
  configure_file("${template}" "${output}" @ONLY)
endfunction()
