# The world-save generator and the command line together: a 1 MiB save of
# seed 1, converted with every switch on (and the sample lists) and with
# every switch off, gives the same bytes as it always has. The benchmarks
# and the Windows check compare runs on such saves, so a change to the
# generator's bytes, or to what a conversion makes of them, must be seen.
#
#   cmake -DGEN_WORLD=<gen_world> -DORVANTOR=<orvantor> -DSAMPLES=<samples/>
#         -DWORK=<empty folder> -P gen_world_smoke_test.cmake

cmake_minimum_required(VERSION 3.25)

# When a change of the bytes is meant, the failure names the new digests.
set(expected_save aace715119f86a510d9d143ade87cd3f68795d1292f556d7ef20036c321fb915)
set(expected_all_chars 0dfb083053105263a1758ede14a933d631133ff423217ebb6e9f0693792525c0)
set(expected_all_world 7f4c65d4bb04bf97a2ae577354a845648e17319652b9d13d8a0b482c1db8d325)
set(expected_none_chars f36ab422c7452f4b11ec8667914c52bfa3f6153b6b4983e73cdb2b333dac8b0c)
set(expected_none_world 43b7f9784986f80bb74e58dabda897199f8b2aca253d2617b2563eac8c90b7a4)

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

run("gen_world" ${GEN_WORLD} --size 1M --seed 1 --order random --out ${WORK}/save.scp)
expect_digest(save.scp ${expected_save})

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
  message(FATAL_ERROR "bytes differ from what seed 1 has always given (kept in ${WORK}):\n${faults}")
endif()
file(REMOVE_RECURSE ${WORK})
