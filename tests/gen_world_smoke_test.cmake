# The world-save generator and the command line together: a 1 MiB save of
# seed 1, converted with every switch on (and the sample lists) and with
# every switch off, gives the same bytes as it always has. The benchmarks
# and the Windows check compare runs on such saves, so a change to the
# generator's bytes, or to what a conversion makes of them, must be seen.
# With -DDENSE=ON the same for a dense save (gen_world --dense) of 6 MiB,
# enough for the analysis on two threads, which must also really be dense:
# a section in at most every 75 bytes, where a default save has one in
# about every 115.
#
#   cmake -DGEN_WORLD=<gen_world> -DORVANTOR=<orvantor> -DSAMPLES=<samples/>
#         -DWORK=<empty folder> [-DDENSE=ON] -P gen_world_smoke_test.cmake

cmake_minimum_required(VERSION 3.25)

# When a change of the bytes is meant, the failure names the new digests.
if(DENSE)
  set(generate --size 6M --dense)
  set(expected_save 307786b54131d0864ba0ecbd702da850aa7757b52c4429e70873b8fbfb2f7473)
  set(expected_all_chars 2879e88210de729189daf99c330cc4baaf2d7973e25a1779499edca3bf99cec5)
  set(expected_all_world 7af52a0ff70ded123eee2a7e3cc429132b50aad499d619bf68f5a86e1a33a2e3)
  set(expected_none_chars 164df580cc11875382416fe49d713c09fa55612b8e5ce94d8b4040ecabfbd5b4)
  set(expected_none_world bf49436fefa0c8e62f422358b66b4ad254345cebe55fe20ed5af751af020d523)
else()
  set(generate --size 1M)
  set(expected_save aace715119f86a510d9d143ade87cd3f68795d1292f556d7ef20036c321fb915)
  set(expected_all_chars 0dfb083053105263a1758ede14a933d631133ff423217ebb6e9f0693792525c0)
  set(expected_all_world 7f4c65d4bb04bf97a2ae577354a845648e17319652b9d13d8a0b482c1db8d325)
  set(expected_none_chars f36ab422c7452f4b11ec8667914c52bfa3f6153b6b4983e73cdb2b333dac8b0c)
  set(expected_none_world 43b7f9784986f80bb74e58dabda897199f8b2aca253d2617b2563eac8c90b7a4)
endif()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${what} failed (${result}):\n${out}")
  endif()
endfunction()

set(faults "")
function(expect_digest file expected)
  file(SHA256 ${WORK}/${file} actual)
  if(NOT actual STREQUAL expected)
    string(APPEND faults "  ${file}: ${actual}, not ${expected}\n")
    set(faults "${faults}" PARENT_SCOPE)
  endif()
endfunction()

run("gen_world" ${GEN_WORLD} ${generate} --seed 1 --order random --out ${WORK}/save.scp)
expect_digest(save.scp ${expected_save})
if(DENSE)
  # Every section starts with a head line: "[" after at most an indent.
  file(STRINGS ${WORK}/save.scp heads REGEX "^[ \t]*\\[")
  list(LENGTH heads sections)
  file(SIZE ${WORK}/save.scp bytes)
  math(EXPR most "${sections} * 75")
  if(sections EQUAL 0 OR bytes GREATER most)
    string(APPEND faults "  ${bytes} bytes in ${sections} sections: not one in every 75 bytes or less\n")
  endif()
endif()

run("orvantor with every switch on"
    ${ORVANTOR} convert ${WORK}/save.scp --world-file ${WORK}/all_world.scp
    --char-file ${WORK}/all_chars.scp --move-chars ${SAMPLES}/positions.txt
    --illegal-items ${SAMPLES}/illegal.txt --no-sync -q)
expect_digest(all_chars.scp ${expected_all_chars})
expect_digest(all_world.scp ${expected_all_world})

run("orvantor with every switch off"
    ${ORVANTOR} convert ${WORK}/save.scp --world-file ${WORK}/none_world.scp
    --char-file ${WORK}/none_chars.scp --no-delete-npcs --no-shrink-pets
    --no-delete-respawn-points --no-sync -q)
expect_digest(none_chars.scp ${expected_none_chars})
expect_digest(none_world.scp ${expected_none_world})

if(NOT faults STREQUAL "")
  message(FATAL_ERROR "not what seed 1 has always given (kept in ${WORK}):\n${faults}")
endif()
file(REMOVE_RECURSE ${WORK})
