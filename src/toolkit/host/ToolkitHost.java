package metascribe;

import java.io.BufferedInputStream;
import java.io.BufferedOutputStream;
import java.io.ByteArrayInputStream;
import java.io.ByteArrayOutputStream;
import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.EOFException;
import java.io.FileDescriptor;
import java.io.FileInputStream;
import java.io.FileOutputStream;
import java.io.FilterOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.io.PrintStream;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.Set;

/**
 * Keeps one virtual machine with the PDF toolkit loaded and runs one toolkit request after
 * another in it, so a batch does not pay for starting Java once per file.
 *
 * <p>Every number is a big-endian 32-bit integer and every block is a length followed by that
 * many bytes, so any byte of a path or value survives. The host first writes the number
 * 0x4D534831 once it has found the toolkit. A request is the number of arguments, each argument
 * as a block of UTF-8, then a block that the toolkit reads as its standard input. The answer is
 * the exit code, then what the run wrote to standard error, then to standard output, as blocks.
 * The host ends at the end of its input.
 *
 * <p>The toolkit reads a named input file with one system call per byte, thousands of calls for
 * even a small file, which costs more than all its other work. So for a request that reads one
 * file and nothing from standard input, the host reads the file at once and runs the toolkit on
 * those bytes as its standard input ("-"), which it parses the same way. Whatever went wrong
 * there, or made the toolkit say anything, is run again exactly as asked, so every message and
 * exit code is the toolkit's own answer to the original request.
 *
 * <p>The toolkit writes each stream's data with one call, and Java copies every write through a
 * native buffer as large as the write: for a scan with 16 MB images, copying those buffers cost
 * the toolkit more than twice what writing in small pieces does. So for an input larger than a
 * file handed over, the host also opens the request's output file itself and has the toolkit
 * write to its standard output ("-"), which goes to that file in pieces; when that file cannot be
 * written, the request is run again as asked.
 */
public final class ToolkitHost {
    private static final int READY = 0x4D534831;
    private static final int MISSING_TOOLKIT = 3;
    private static final int BLOCK_LIMIT = 64 * 1024 * 1024;
    // Larger files are left to the toolkit: their bytes would sit in memory several times over.
    private static final long HAND_OVER_LIMIT = 32L * 1024 * 1024;
    // What one write into an output file taken over may be at most.
    private static final int OUTPUT_PIECE = 256 * 1024;
    private static final Set<String> SINGLE_INPUT_OPERATIONS = Set.of("update_info",
            "update_info_utf8", "dump_data", "dumpdata", "dump_data_utf8", "dumpdata_utf8");
    // Those of them that write a PDF file: bytes that no text encoding of the output touches.
    private static final Set<String> PDF_OUTPUT_OPERATIONS = Set.of("update_info",
            "update_info_utf8");

    private ToolkitHost() {}

    public static void main(String[] args) throws IOException {
        DataInputStream requests =
                new DataInputStream(new BufferedInputStream(new FileInputStream(FileDescriptor.in)));
        DataOutputStream answers = new DataOutputStream(
                new BufferedOutputStream(new FileOutputStream(FileDescriptor.out)));
        PrintStream hostErr = System.err;

        Method run;
        try {
            run = Class.forName("com.gitlab.pdftk_java.pdftk")
                          .getMethod("main_noexit", String[].class);
        } catch (ReflectiveOperationException missing) {
            hostErr.println("The toolkit cannot run in this host: " + missing);
            System.exit(MISSING_TOOLKIT);
            return;
        }
        answers.writeInt(READY);
        answers.flush();

        while (true) {
            int count;
            try {
                count = requests.readInt();
            } catch (EOFException end) {
                return;
            }
            if (count < 0 || count > 100000) {
                hostErr.println("Malformed request: " + count + " arguments");
                System.exit(2);
            }
            String[] arguments = new String[count];
            for (int i = 0; i < count; ++i)
                arguments[i] = new String(readBlock(requests), StandardCharsets.UTF_8);
            byte[] input = readBlock(requests);

            Run done = null;
            boolean fatal = false;
            byte[] contents = input.length == 0 ? contentsToHandOver(arguments) : null;
            int output = contents == null && isLarge(arguments, input)
                    ? outputToTakeOver(arguments) : 0;
            if (contents != null || output > 0) {
                String[] handedOver = arguments.clone();
                if (contents != null)
                    handedOver[0] = "-";
                if (output > 0)
                    handedOver[output] = "-";
                done = runHandedOver(run, handedOver, contents != null ? contents : input,
                        output > 0 ? arguments[output] : null);
                fatal = done.fatal;
                // The toolkit reads a named input the same whatever it writes to, so only a file
                // handed over, or a result the host failed to write, makes the toolkit's answer
                // one it would not have given as asked; a large damaged file is not read twice.
                if (contents != null ? done.code != 0 || done.err.size() != 0 : done.outputFailed)
                    done = null;
            }
            if (done == null) {
                done = runToolkit(run, arguments, input);
                fatal |= done.fatal;
            }
            answers.writeInt(done.code);
            writeBlock(answers, done.err.toByteArray());
            writeBlock(answers, done.out.toByteArray());
            answers.flush();
            // After an error such as running out of memory the next request gets a fresh host.
            if (fatal)
                System.exit(1);
        }
    }

    private static final class Run {
        int code;
        boolean fatal;
        // Writing the output file the host took over failed.
        boolean outputFailed;
        final ByteArrayOutputStream err = new ByteArrayOutputStream();
        final ByteArrayOutputStream out = new ByteArrayOutputStream();
    }

    private static Run runToolkit(Method run, String[] arguments, byte[] input) {
        return runToolkit(run, arguments, input, null);
    }

    // output, when not null, takes the place of the standard output.
    private static Run runToolkit(Method run, String[] arguments, byte[] input,
            PrintStream output) {
        Run done = new Run();
        System.setIn(new ByteArrayInputStream(input));
        System.setErr(new PrintStream(done.err, true, StandardCharsets.UTF_8));
        System.setOut(output != null ? output
                                     : new PrintStream(done.out, true, StandardCharsets.UTF_8));
        try {
            done.code = ((Number) run.invoke(null, (Object) arguments)).intValue();
        } catch (InvocationTargetException failure) {
            // What an uncaught exception does to a toolkit process: a trace and status 1.
            failure.getCause().printStackTrace(System.err);
            done.fatal = failure.getCause() instanceof Error;
            done.code = 1;
        } catch (ReflectiveOperationException | RuntimeException failure) {
            failure.printStackTrace(System.err);
            done.code = 1;
        }
        System.out.flush();
        System.err.flush();
        return done;
    }

    // Runs the toolkit with its standard output going to outputFile (when not null) instead of
    // into the answer. A file that cannot be opened or written is marked, so that the request is
    // run again as asked and the toolkit reports the problem in its own words.
    private static Run runHandedOver(Method run, String[] arguments, byte[] input,
            String outputFile) {
        if (outputFile == null)
            return runToolkit(run, arguments, input, null);
        PiecewiseOutput file = new PiecewiseOutput(outputFile);
        Run done = runToolkit(run, arguments, input,
                new PrintStream(file, false, StandardCharsets.UTF_8));
        file.close();
        done.outputFailed = file.failed;
        return done;
    }

    // Writes into the file at path in pieces of at most OUTPUT_PIECE bytes, and remembers whether
    // anything failed: the print stream the toolkit writes to swallows errors, and also counts as
    // one a flush after the toolkit has closed it, which the toolkit does. The file is opened on
    // the first write, as the toolkit opens it only once it has read its input: a run that fails
    // before leaves no file behind.
    private static final class PiecewiseOutput extends FilterOutputStream {
        boolean failed;
        private final String path;
        private boolean closed;

        PiecewiseOutput(String path) {
            super(null);
            this.path = path;
        }

        private void open() throws IOException {
            if (closed)
                throw new IOException("Stream closed");
            if (out == null)
                out = new BufferedOutputStream(new FileOutputStream(path), 64 * 1024);
        }

        @Override
        public void write(int b) throws IOException {
            try {
                open();
                out.write(b);
            } catch (IOException error) {
                failed = true;
                throw error;
            }
        }

        @Override
        public void write(byte[] bytes, int offset, int length) throws IOException {
            try {
                open();
                while (length > 0) {
                    int piece = Math.min(length, OUTPUT_PIECE);
                    out.write(bytes, offset, piece);
                    offset += piece;
                    length -= piece;
                }
            } catch (IOException error) {
                failed = true;
                throw error;
            }
        }

        @Override
        public void flush() throws IOException {
            try {
                if (out != null)
                    out.flush();
            } catch (IOException error) {
                failed = true;
                throw error;
            }
        }

        @Override
        public void close() {
            if (closed)
                return;
            closed = true;
            try {
                if (out != null)
                    out.close();
            } catch (IOException error) {
                failed = true;
            }
        }
    }

    // Whether the request's input, a named file or its standard input, is larger than a file
    // handed over. Only large files hold streams so large that writing them whole costs much; a
    // small result is written as the toolkit writes it.
    private static boolean isLarge(String[] arguments, byte[] input) {
        if (input.length > 0)
            return input.length > HAND_OVER_LIMIT;
        if (arguments.length == 0 || !arguments[0].startsWith("/"))
            return false;
        try {
            return Files.size(Paths.get(arguments[0])) > HAND_OVER_LIMIT;
        } catch (IOException | RuntimeException unreadable) {
            return false;
        }
    }

    // Where the output file's name is among the arguments when the request writes one file,
    // named by its absolute path, for a single-input operation that writes a PDF; otherwise 0.
    private static int outputToTakeOver(String[] arguments) {
        if (arguments.length < 4 || !PDF_OUTPUT_OPERATIONS.contains(arguments[1]))
            return 0;
        for (int i = 2; i + 1 < arguments.length; ++i) {
            if (arguments[i].equals("output"))
                return arguments[i + 1].startsWith("/") ? i + 1 : 0;
        }
        return 0;
    }

    // The input file's bytes when the request reads just that one file, by its absolute path,
    // straight before the operation; otherwise nothing.
    private static byte[] contentsToHandOver(String[] arguments) {
        if (arguments.length < 2 || !arguments[0].startsWith("/")
                || !SINGLE_INPUT_OPERATIONS.contains(arguments[1]))
            return null;
        try {
            Path file = Paths.get(arguments[0]);
            if (!Files.isRegularFile(file) || Files.size(file) > HAND_OVER_LIMIT)
                return null;
            return Files.readAllBytes(file);
        } catch (IOException | RuntimeException unreadable) {
            // The toolkit finds and reports the same problem itself.
            return null;
        }
    }

    private static byte[] readBlock(DataInputStream in) throws IOException {
        int length = in.readInt();
        if (length < 0 || length > BLOCK_LIMIT)
            throw new IOException("Malformed request: block of " + length + " bytes");
        byte[] block = new byte[length];
        in.readFully(block);
        return block;
    }

    private static void writeBlock(DataOutputStream out, byte[] block) throws IOException {
        out.writeInt(block.length);
        out.write(block);
    }
}
